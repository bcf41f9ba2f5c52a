#include <gtest/gtest.h>

#include "app/WidgetLanguages.h"
#include "platform/WinApi.h"

TEST(Languages, LoadEnglishThenTurkishAndTurkishIsCurrent) {
  TWidgetLanguages languages(nullptr);
  ASSERT_EQ(languages.Count(), 2);
  EXPECT_EQ(languages.Languages(0)->ResName() + u" " + languages.Languages(0)->DisplayName(), u"EN-US.INI English");
  EXPECT_EQ(languages.Languages(1)->ResName() + u" " + languages.Languages(1)->DisplayName(),
            u"TR-TR.INI T\u00FCrk\u00E7e");
  EXPECT_EQ(languages.Current(), languages.Languages(1));
  EXPECT_THROW(languages.LoadLanguage(u"XX-XX.INI"), Exception);
  EXPECT_EQ(languages.Count(), 2) << "a missing resource adds nothing";
  EXPECT_EQ(languages.Current(), languages.Languages(1));
}

TEST(Languages, EveryTextOfBothTablesIsExact) {
  struct {
    int32_t Id;
    const char16_t* English;
    const char16_t* Turkish;
  } table[] = {
      {1000, u"%s Guest(s) Online", u"%s Ziyaret\u00E7i \u00C7evrimi\u00E7i"},
      {1001, u"There are no guests online", u"\u00C7evrimi\u00E7i ziyaret\u00E7i yok"},
      {1002, u"Invalid data", u"Ge\u00E7ersiz veri"},
      {1003, u"Confirm", u"Onay"},
      {1004, u"Error", u"Hata"},
      {1005, u"Warning", u"Uyar\u0131"},
      {1006, u"This tracker will be deleted. Are you sure?", u"Bu izleyici tamamen silinecek. Emin misiniz?"},
      {1007, u"[No Title]", u"[Ba\u015Fl\u0131k Yok]"},
      {1008, u"No Trackers", u"\u0130zleyici Yok"},
      {1009, u"Orvanta ID cannot be empty!", u"Orvanta ID bo\u015F b\u0131rak\u0131lamaz!"},
      {1010, u"Orvanta ID already exists!", u"Orvanta ID zaten var!"},
      {1011, u"New version available. Click \"Yes\" button to download.", u"Yeni s\u00FCr\u00FCm mevcut. \u0130ndirmek i\u00E7in \"Evet\" d\u00FC\u011Fmesine bas\u0131n."},
      {1, u"Save", u"Kaydet"},
      {2, u"Cancel", u"\u0130ptal"},
      {3000, u"Preferences", u"Se\u00E7enekler"},
      {3001, u"Preferences", u"Se\u00E7enekler"},
      {3002, u"Language", u"Dil"},
      {3003, u"Enable Tracker", u"\u0130zleme Etkin"},
      {3004, u"Orvanta ID", u"Orvanta ID"},
      {3005, u"Title", u"Ba\u015Fl\u0131k"},
      {3006, u"Refresh (sec)", u"Yineleme (sn)"},
      {3007, u"Always Top", u"Her Zaman \u00DCstte"},
      {3008, u"Ignore Mouse", u"Fareyi Yoksay"},
      {3009, u"Prevent Dragging", u"S\u00FCr\u00FCkleme Engeli"},
      {3010, u"Transparency", u"Saydaml\u0131k"},
      {4000, u"Add Tracker", u"\u0130zleyici Ekle"},
      {4001, u"Add Tracker", u"\u0130zleyici Ekle"},
      {4004, u"Orvanta ID", u"Orvanta ID"},
      {4005, u"Title", u"Ba\u015Fl\u0131k"},
      {40000, u"&About", u"&Hakk\u0131nda"},
      {40001, u"&Preferences...", u"&Se\u00E7enekler..."},
      {40002, u"&Refresh", u"&Yinele"},
      {40003, u"&Hide", u"&Gizle"},
      {40004, u"&Show", u"&G\u00F6ster"},
      {40005, u"&Details", u"&Detaylar"},
      {40008, u"&Exit", u"\u00C7\u0131&k\u0131\u015F"},
      {40009, u"&Add Tracker", u"&\u0130zleyici Ekle"},
      {40010, u"&Remove", u"&Kald\u0131r"},
      {40011, u"&Languages", u"&Diller"},
      {40012, u"&Preferences", u"&Se\u00E7enekler"},
  };
  TWidgetLanguages languages(nullptr);
  TWidgetLanguage* english = languages.FindLanguage(u"EN-US.INI");
  TWidgetLanguage* turkish = languages.FindLanguage(u"TR-TR.INI");
  ASSERT_TRUE(english && turkish);
  for (const auto& row : table) {
    EXPECT_EQ(english->GetText(row.Id), row.English) << row.Id;
    EXPECT_EQ(turkish->GetText(row.Id), row.Turkish) << row.Id;
  }
}

TEST(Languages, SelectionIsCaseSensitiveAndMissingIdsAreEmpty) {
  TWidgetLanguages languages(nullptr);
  EXPECT_EQ(languages.FindLanguage(u"en-us.ini"), nullptr);
  languages.SelectLanguage(u"en-us.ini");
  EXPECT_EQ(languages.Current()->ResName(), u"TR-TR.INI");
  languages.SelectLanguage(u"EN-US.INI");
  EXPECT_EQ(languages.Current()->ResName(), u"EN-US.INI");
  EXPECT_EQ(languages.GetText(3002), u"Language");
  WideString text = u"stale";
  languages.GetText(9999, text);
  EXPECT_EQ(text, u"");
  languages.SelectLanguage(u"XX-XX.INI");
  EXPECT_EQ(languages.Current()->ResName(), u"EN-US.INI");
}

TEST(Languages, TableWithoutByteOrderMarkIsReadFromItsFirstByte) {
  TWidgetLanguages languages(nullptr);
  WideString text = u"[Language]\r\nDisplay=Plain\r\n1003=Okay\r\n";
  std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  languages.LoadLanguageText(u"PLAIN.INI", bytes);
  ASSERT_EQ(languages.Count(), 3);
  EXPECT_EQ(languages.Current()->DisplayName(), u"Plain");
  EXPECT_EQ(languages.GetText(1003), u"Okay");
  languages.LoadLanguageText(u"MARKED.INI", "\xFF\xFE" + bytes);
  EXPECT_EQ(languages.Current()->DisplayName(), u"Plain");
}

TEST(ProgramResources, ManifestAsksForCommonControlsSix) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(info, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, info))),
                             SizeofResource(module, info));
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
}
