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
    (1100, "this version does not know the tracker's source", "bu sürüm izleyicinin kaynağını tanımıyor"),
    (1101, "no server address given", "sunucu adresi girilmedi"),
    (1102, "the server address is not a web address", "sunucu adresi bir web adresi değil"),
    (1103, "no API key given", "API anahtarı girilmedi"),
    (1104, "the API key cannot be read on this Windows account: enter it again",
     "API anahtarı bu Windows hesabında okunamıyor: yeniden girin"),
    (1105, "a key is sent only over https, or over http to this computer",
     "anahtar yalnızca https ile ya da bu bilgisayara http ile gönderilir"),
    (1106, "the request could not be started", "istek başlatılamadı"),
    (1107, "the server cannot be reached", "sunucuya ulaşılamıyor"),
    (1108, "no answer within 10 s", "10 sn içinde yanıt yok"),
    (1109, "certificate not trusted", "sertifikaya güvenilmiyor"),
    (1110, "redirected from https to http", "https'ten http'ye yönlendirildi"),
    (1111, "too many redirects", "çok fazla yönlendirme"),
    (1112, "the answer is too large", "yanıt çok büyük"),
    (1113, "the answer was cut off", "yanıt yarıda kesildi"),
    (1114, "the key was refused (%d)", "anahtar reddedildi (%d)"),
    (1115, "site not found (404)", "site bulunamadı (404)"),
    (1116, "paused until %s (rate limit)", "%s saatine kadar duraklatıldı (istek sınırı)"),
    (1117, "rate limited (%d)", "istek sınırına takıldı (%d)"),
    (1118, "the server answered %d", "sunucu %d ile yanıt verdi"),
    (1119, "not a number at %s", "%s konumunda sayı yok"),
    (1120, "the answer is not a count", "yanıt bir sayı değil"),
    (1121, "visitors in the last 5 minutes", "son 5 dakikadaki ziyaretçiler"),
    (1122, "visitors in the last 30 minutes", "son 30 dakikadaki ziyaretçiler"),
    (1123, "visitors on the site now", "şu anda sitedeki ziyaretçiler"),
    (1130, "The API key of these trackers cannot be read on this Windows account; enter it again in their Preferences: %s",
     "Bu izleyicilerin API anahtarı bu Windows hesabında okunamıyor; Seçenekler penceresinde yeniden girin: %s"),
    (1131, "unchanged", "değişmedi"),
    (1132, "Testing\u2026", "Deneniyor\u2026"),
    (1133, "The source answers: %d visitors", "Kaynağın yanıtı: %d ziyaretçi"),
    (1134, "%d trackers share this key, so each polls every %d s to stay inside the service's limit.",
     "Bu anahtarı %d izleyici paylaşıyor; hizmetin sınırını aşmamak için her biri %d sn'de bir sorguluyor."),
    (1135, "Fathom counts every request against the account's monthly pageview quota, so a new Fathom tracker polls once a minute.",
     "Fathom her isteği hesabın aylık sayfa görüntüleme kotasından düşer; bu yüzden yeni bir Fathom izleyicisi dakikada bir sorgular."),
    (1136, "Last poll: %s", "Son sorgu: %s"),
    (1137, "The key could not be stored encrypted for this Windows account, so nothing was saved.",
     "Anahtar bu Windows hesabı için şifrelenerek saklanamadı; hiçbir şey kaydedilmedi."),
    (1140, "Orvanta counter", "Orvanta sayacı"),
    (1141, "Plausible", "Plausible"),
    (1142, "Umami", "Umami"),
    (1143, "Matomo", "Matomo"),
    (1144, "Fathom", "Fathom"),
    (1145, "Any JSON endpoint", "Herhangi bir JSON adresi"),
    (3020, "Source", "Kaynak"),
    (3021, "Server", "Sunucu"),
    (3022, "API key", "API anahtarı"),
    (3023, "JSON pointer", "JSON işaretçisi"),
    (3024, "Header", "Başlık satırı"),
    (3025, "Test", "Dene"),
    (3026, "Source", "Kaynak"),
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
