#include "app/TrackerStore.h"

namespace {
// Text with no section at all is no settings file of ours (UTF-8 from an
// editor, say); blank text is an empty one.
bool HoldsSettings(const TWMemIniFile& ini, const WideString& text) {
  TWStringList sections;
  ini.ReadSections(&sections);
  if (sections.GetCount() > 0) return true;
  for (WideChar c : text)
    if (c > u' ') return false;
  return true;
}
}  // namespace

TTrackerStore::TTrackerStore(const WideString& fileName, TKeyProtector protectKey)
    : FFileName(fileName), FIni(new TWMemIniFile(fileName, false)), FProtectKey(std::move(protectKey)) {}

void TTrackerStore::Load(const WideString& stamp) {
  FIni.reset(new TWMemIniFile(FFileName, false));
  FState = TSettingsState::Read;
  TAtomicFileStream::RecoverLeftover(FFileName, TWMemIniFile::IsWholeFile);
  WideString why;
  switch (ProbeFile(FFileName, &why)) {
    case TFileState::Missing: FState = TSettingsState::FirstRun; break;
    case TFileState::Unknown: Block(why); break;
    case TFileState::Present: {
      std::string bytes;
      try {
        bytes = ReadFileBytes(FFileName);
      } catch (const Exception& e) {
        Block(e.Message());
        break;
      }
      const WideString text = TextOfUtf16(bytes);
      if (IsWholeUtf16Text(bytes)) {
        TWStringList lines;
        lines.SetText(text);
        FIni->SetStrings(&lines);
      }
      if (!IsWholeUtf16Text(bytes) || !HoldsSettings(*FIni, text)) KeepAside(stamp);
      break;
    }
  }
  TWStringList entries;
  FIni->ReadSectionValues(SECTION_TRACKERS, &entries);
  TTrackerLoadPlan plan = PlanTrackerLoad(entries, [this](const WideString& id) { return FIni->SectionExists(id); });
  FToCreate = std::move(plan.Create);
  FKept = std::move(plan.Kept);
}

void TTrackerStore::Block(const WideString& why) {
  FState = TSettingsState::Blocked;
  FLoadError = why;
  FIni.reset(new TWMemIniFile(FFileName, false));
}

// Renamed rather than copied: byte for byte, and the name is free for the new file.
void TTrackerStore::KeepAside(const WideString& stamp) {
  FIni.reset(new TWMemIniFile(FFileName, false));
  const WideString base = FFileName + UNREADABLE_SUFFIX + stamp;
  for (int32_t n = 1; n < 100; ++n) {
    const WideString kept = n == 1 ? base : base + WideFormat(u"-%d", {n});
    if (ProbeFile(kept) != TFileState::Missing) continue;
    if (WideRenameFile(FFileName, kept)) {
      FState = TSettingsState::KeptAside;
      FKeptFile = kept;
      return;
    }
    break;
  }
  const int code = LastSysError();
  Block(SysErrorMessage(code));
}

WideString TTrackerStore::Language(const WideString& fallback) const {
  return FIni->ReadString(SECTION_CONFIG, KEY_LANGUAGE, fallback);
}

TTrackerSettings TTrackerStore::Tracker(const WideString& id, const TScreenRect& workArea) const {
  return ReadTrackerSettings(*FIni, id, workArea);
}

std::vector<bool> TTrackerStore::NamedSections(const std::vector<TTrackerEntry>& live,
                                               const TTrackerEntry* skip) const {
  TWStringList sections;
  FIni->ReadSections(&sections);
  std::vector<bool> named(static_cast<size_t>(sections.GetCount()), false);
  auto name = [&](const WideString& id) {
    const int i = FIni->SectionIndex(id);
    if (i >= 0) named[static_cast<size_t>(i)] = true;
  };
  for (const WideString& id : FKept) name(id);
  for (const TTrackerEntry& e : live)
    if (&e != skip) name(e.Settings.ID);
  return named;
}

// By index, as the lookup finds it; its exact name then erases that one.
void TTrackerStore::EraseUnnamed(const WideString& section, const std::vector<bool>& named) {
  const int i = FIni->SectionIndex(section);
  if (i >= 0 && !named[static_cast<size_t>(i)]) FIni->EraseSection(WideString(FIni->SectionName(i)));
}

bool TTrackerStore::Save(const WideString& language, std::vector<TTrackerEntry>& live) {
  if (FSealed) return FLastSaveOk;
  if (FState == TSettingsState::Blocked) {
    FSaveError = FLoadError;
    return FLastSaveOk = false;
  }
  try {
    FIni->WriteString(SECTION_CONFIG, KEY_LANGUAGE, language);
    // Keys this version does not know, taken from where each tracker was read
    // before any section moves, so that a renamed tracker takes them along.
    std::vector<std::vector<WideString>> unknown;
    for (const TTrackerEntry& e : live)
      unknown.push_back(UnknownTrackerLines(*FIni, e.Section.empty() ? e.Settings.ID : e.Section));
    // Sections that renamed trackers left, found before anything moves.
    const std::vector<bool> named = NamedSections(live, nullptr);
    std::vector<WideString> left;
    for (const TTrackerEntry& e : live) {
      if (e.Section.empty() || e.Section == e.Settings.ID) continue;
      const int i = FIni->SectionIndex(e.Section);
      if (i >= 0 && !named[static_cast<size_t>(i)]) left.push_back(FIni->SectionName(i));
    }
    for (const WideString& section : left) FIni->EraseSection(section);

    FIni->EraseSection(SECTION_TRACKERS);
    int32_t key = 0;
    auto list = [&](const WideString& id) {
      FIni->WriteString(SECTION_TRACKERS, WideFormat(u"%s%d", {TRACKER_KEY_PREFIX, key++}), id);
    };
    for (const TTrackerEntry& e : live) list(e.Settings.ID);
    for (const WideString& id : FKept) list(id);
    // Each live section goes to the end, in list order. A section found only
    // by a case variant of the ID is left where a kept entry names it.
    for (size_t n = 0; n < live.size(); ++n) {
      TTrackerEntry& e = live[n];
      const WideString& id = e.Settings.ID;
      const int i = FIni->SectionIndex(id);
      if (i >= 0 && (FIni->SectionName(i) == id || !NamedSections({}, nullptr)[static_cast<size_t>(i)]))
        FIni->EraseSection(WideString(FIni->SectionName(i)));
      FIni->AppendSection(id);
      WriteTrackerSettings(*FIni, e.Settings);
      for (const WideString& line : unknown[n]) FIni->AppendLine(id, line);
      e.Section = e.Settings.ID;
    }
    ProtectPlainKeys();
    FIni->UpdateFile();
  } catch (const Exception& e) {
    FSaveError = e.Message();
    return FLastSaveOk = false;
  } catch (const std::exception& e) {
    FSaveError = WideFromUtf8(e.what());
    return FLastSaveOk = false;
  }
  FSaveError.clear();
  return FLastSaveOk = true;
}

void TTrackerStore::Remove(const TTrackerEntry& removed, const std::vector<TTrackerEntry>& remaining) {
  if (FSealed) return;
  EraseUnnamed(removed.Settings.ID, NamedSections(remaining, nullptr));
  EraseUnnamed(removed.Section, NamedSections(remaining, nullptr));
}

std::vector<WideString> TTrackerStore::PlainKeySections() const {
  TWStringList sections;
  FIni->ReadSections(&sections);
  std::vector<WideString> plain;
  for (int i = 0; i < sections.GetCount(); ++i) {
    const WideString& section = FIni->SectionName(i);
    const WideString key = FIni->ReadString(section, KEY_APIKEY, u"");
    if (!key.empty() && !IsProtectedKey(Utf8FromWide(key))) plain.push_back(section);
  }
  return plain;
}

// Every section's, not only the live trackers' (their widgets encrypt their
// own): a kept entry's, or one the list no longer names, is a secret as well.
void TTrackerStore::ProtectPlainKeys() {
  if (!FProtectKey) return;
  for (const WideString& section : PlainKeySections()) {
    TSourceSettings source;
    source.Source = FIni->ReadString(section, KEY_SOURCE, u"");
    source.Server = FIni->ReadString(section, KEY_SERVER, u"");
    const WideString stored = FProtectKey(Utf8FromWide(FIni->ReadString(section, KEY_APIKEY, u"")), source);
    if (!stored.empty()) FIni->WriteString(section, KEY_APIKEY, stored);
  }
}
