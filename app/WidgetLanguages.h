#pragma once
// The language tables built into the program: one is current and answers every
// text of the menus, dialogs and message boxes by numeric id.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/TextLookup.h"
#include "text/WIniFiles.h"
#include "ui/Components.h"

constexpr const WideChar LANGUAGE_RESOURCE_TYPE[] = u"LANGS";
constexpr const WideChar LANGUAGE_EN_US[] = u"EN-US.INI";
constexpr const WideChar LANGUAGE_TR_TR[] = u"TR-TR.INI";
constexpr const WideChar LANGUAGE_SECTION[] = u"Language";
constexpr const WideChar LANGUAGE_DISPLAY_KEY[] = u"Display";

class TWidgetLanguage {
public:
  // Takes ownership of strings.
  TWidgetLanguage(const WideString& resName, TWMemIniFile* strings);
  ~TWidgetLanguage();
  TWidgetLanguage(const TWidgetLanguage&) = delete;
  TWidgetLanguage& operator=(const TWidgetLanguage&) = delete;

  // The text of the id, empty when the table lacks it.
  WideString GetText(int32_t id) const;

  TWMemIniFile* Strings() const { return FStrings; }
  const WideString& ResName() const { return FResName; }
  const WideString& DisplayName() const { return FDisplayName; }

private:
  TWMemIniFile* FStrings;
  WideString FResName;
  WideString FDisplayName;
};

class TWidgetLanguages : public TComponent, public TTextLookup {
public:
  // Loads English, then Turkish; the last loaded is current.
  explicit TWidgetLanguages(TComponent* owner);
  ~TWidgetLanguages() override;

  // Loads the "LANGS" resource of that name from the program, appends it and
  // makes it current.
  void LoadLanguage(const WideString& name);
  // The same from the bytes of a table (UTF-16 LE, with or without FF FE).
  void LoadLanguageText(const WideString& name, const std::string& bytes);
  // First language whose resource name matches exactly (case-sensitive).
  TWidgetLanguage* FindLanguage(const WideString& name) const;
  // Unknown names change nothing.
  void SelectLanguage(const WideString& name);
  void GetText(int32_t id, WideString& text) const;
  WideString GetText(int32_t id) const override;

  int Count() const { return static_cast<int>(FLanguages.size()); }
  TWidgetLanguage* Languages(int index) const { return FLanguages.at(static_cast<size_t>(index)); }
  TWidgetLanguage* Current() const { return FCurrent.load(); }

private:
  std::vector<TWidgetLanguage*> FLanguages;  // load order; owned
  // Switched on the manager's thread, read by every widget thread; the tables
  // themselves never change after loading.
  std::atomic<TWidgetLanguage*> FCurrent{nullptr};
};
