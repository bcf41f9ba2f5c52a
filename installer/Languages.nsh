; The installer's own texts, in the languages the program speaks.

LangString RunNow ${LANG_ENGLISH} "Start Orvanta now"
LangString RunNow ${LANG_TURKISH} "Orvanta'yı şimdi başlat"

LangString StartAtLogOn ${LANG_ENGLISH} "Start Orvanta when I log on"
LangString StartAtLogOn ${LANG_TURKISH} "Oturum açtığımda Orvanta'yı başlat"

LangString StartAtLogOnHelp ${LANG_ENGLISH} "Puts a shortcut to Orvanta in your Startup folder."
LangString StartAtLogOnHelp ${LANG_TURKISH} "Başlangıç klasörünüze bir Orvanta kısayolu koyar."

LangString StillRunning ${LANG_ENGLISH} "Orvanta is still running and did not exit when asked. Choose Exit in its tray menu, then Retry."
LangString StillRunning ${LANG_TURKISH} "Orvanta hâlâ çalışıyor ve istendiğinde kapanmadı. Simge menüsünden Çıkış'ı seçin, sonra Yeniden Dene'ye basın."

LangString UnProgram ${LANG_ENGLISH} "Orvanta"
LangString UnProgram ${LANG_TURKISH} "Orvanta"

LangString UnProgramHelp ${LANG_ENGLISH} "The program, its shortcuts and its entry in the list of installed programs."
LangString UnProgramHelp ${LANG_TURKISH} "Program, kısayolları ve yüklü programlar listesindeki kaydı."

LangString UnRemoveTrackers ${LANG_ENGLISH} "Also remove my trackers"
LangString UnRemoveTrackers ${LANG_TURKISH} "İzleyicilerimi de kaldır"

LangString UnRemoveTrackersHelp ${LANG_ENGLISH} "Deletes the settings folder with your trackers. Leave it unticked to keep them for a later install."
LangString UnRemoveTrackersHelp ${LANG_TURKISH} "İzleyicilerinizin bulunduğu ayarlar klasörünü siler. Sonraki bir kurulumda kullanmak için işaretlemeyin."
