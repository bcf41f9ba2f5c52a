#!/usr/bin/env python3
"""Writes the program's language tables resources/EN-US.INI and TR-TR.INI:
UTF-16 little-endian with the byte-order mark FF FE and CR LF line ends."""
import os

# id, English, Turkish
STRINGS = [
    (1000, "%s Guest(s) Online", "%s Ziyaretçi Çevrimiçi"),
    (1001, "There are no guests online", "Çevrimiçi ziyaretçi yok"),
    (1002, "Invalid data", "Geçersiz veri"),
    (1003, "Confirm", "Onay"),
    (1004, "Error", "Hata"),
    (1005, "Warning", "Uyarı"),
    (1006, "This tracker will be deleted. Are you sure?", "Bu izleyici tamamen silinecek. Emin misiniz?"),
    (1007, "[No Title]", "[Başlık Yok]"),
    (1008, "No Trackers", "İzleyici Yok"),
    (1009, "Orvanta ID cannot be empty!", "Orvanta ID boş bırakılamaz!"),
    (1010, "Orvanta ID already exists!", "Orvanta ID zaten var!"),
    (1011, 'New version available. Click "Yes" button to download.',
     'Yeni sürüm mevcut. İndirmek için "Evet" düğmesine basın.'),
    (1012, "Your settings could not be saved; the settings file was left as it was. %s",
     "Ayarlarınız kaydedilemedi; ayar dosyası olduğu gibi bırakıldı. %s"),
    (1013, "This Orvanta ID cannot be used!", "Bu Orvanta ID kullanılamaz!"),
    (1014, 'Orvanta could not read its settings file. It was kept unchanged as "%s", and Orvanta starts with new settings.',
     'Orvanta ayar dosyasını okuyamadı. Dosya değiştirilmeden "%s" olarak saklandı; Orvanta yeni ayarlarla başlıyor.'),
    (1015, 'Orvanta cannot read its settings file "%s": %s Nothing will be saved in this run, so the file stays as it is.',
     'Orvanta ayar dosyasını ("%s") okuyamıyor: %s Bu oturumda hiçbir şey kaydedilmeyecek; dosya olduğu gibi kalacak.'),
    (1, "Save", "Kaydet"),
    (2, "Cancel", "İptal"),
    (3000, "Preferences", "Seçenekler"),
    (3001, "Preferences", "Seçenekler"),
    (3002, "Language", "Dil"),
    (3003, "Enable Tracker", "İzleme Etkin"),
    (3004, "Orvanta ID", "Orvanta ID"),
    (3005, "Title", "Başlık"),
    (3006, "Refresh (sec)", "Yineleme (sn)"),
    (3007, "Always Top", "Her Zaman Üstte"),
    (3008, "Ignore Mouse", "Fareyi Yoksay"),
    (3009, "Prevent Dragging", "Sürükleme Engeli"),
    (3010, "Transparency", "Saydamlık"),
    (4000, "Add Tracker", "İzleyici Ekle"),
    (4001, "Add Tracker", "İzleyici Ekle"),
    (4004, "Orvanta ID", "Orvanta ID"),
    (4005, "Title", "Başlık"),
    (40000, "&About", "&Hakkında"),
    (40001, "&Preferences...", "&Seçenekler..."),
    (40002, "&Refresh", "&Yinele"),
    (40003, "&Hide", "&Gizle"),
    (40004, "&Show", "&Göster"),
    (40005, "&Details", "&Detaylar"),
    (40008, "&Exit", "Çı&kış"),
    (40009, "&Add Tracker", "&İzleyici Ekle"),
    (40010, "&Remove", "&Kaldır"),
    (40011, "&Languages", "&Diller"),
    (40012, "&Preferences", "&Seçenekler"),
]

TABLES = [("EN-US.INI", "English", 1), ("TR-TR.INI", "Türkçe", 2)]


def main():
    out_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")
    for name, display, column in TABLES:
        lines = ["[Language]", "Display=" + display]
        lines += ["%d=%s" % (row[0], row[column]) for row in STRINGS]
        text = "\r\n".join(lines) + "\r\n"
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))


if __name__ == "__main__":
    main()
