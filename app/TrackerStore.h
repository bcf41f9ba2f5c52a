#pragma once
// The settings file as the manager keeps it, without a window: what a start
// finds there (the file, a first run, an unreadable file kept aside, a file
// the system would not let us read), the trackers to create, and the writes
// that follow. No write loses a tracker, a kept entry or a section that
// another entry names.
#include <functional>
#include <memory>
#include <vector>

#include "app/TrackerList.h"
#include "text/WIniFiles.h"
#include "tracker/TrackerSettings.h"

constexpr const WideChar KEY_LANGUAGE[] = u"Language";
constexpr const WideChar TRACKER_KEY_PREFIX[] = u"Key";
// A file that could not be read in full is kept under its own name and this,
// followed by the local time it was found ("20261207-113000").
constexpr const WideChar UNREADABLE_SUFFIX[] = u".unreadable-";

enum class TSettingsState {
  Read,       // the file, read in full
  FirstRun,   // no file and no folder: nothing to lose
  KeptAside,  // a file not read in full, kept as KeptFile; this run starts anew
  Blocked,    // the system would not let us read the file: nothing is written over it this run
};

// One live tracker as the manager lists it.
struct TTrackerEntry {
  TTrackerSettings Settings;  // as its widget last published them
  WideString Section;         // the section it was read from or last written to
};

class TTrackerStore {
public:
  // A plain key encrypted for the source its section names ("dpapi:..."),
  // empty when it could not be.
  using TKeyProtector = std::function<WideString(const std::string& plain, const TSourceSettings& source)>;
  // Save encrypts every plain key with protectKey; none: keys stay as they are.
  explicit TTrackerStore(const WideString& fileName, TKeyProtector protectKey = nullptr);

  // Reads the file; never throws. stamp names a kept file.
  void Load(const WideString& stamp);
  TSettingsState State() const { return FState; }
  const WideString& FileName() const { return FFileName; }
  const WideString& KeptFile() const { return FKeptFile; }
  // Blocked: the system's reason.
  const WideString& LoadError() const { return FLoadError; }

  WideString Language(const WideString& fallback) const;
  // The trackers to create after Load, in [Trackers] order.
  const std::vector<TTrackerStart>& ToCreate() const { return FToCreate; }
  TTrackerSettings Tracker(const WideString& id, const TScreenRect& workArea) const;
  // Entries listed without a widget; written back after the live ones.
  const std::vector<WideString>& Kept() const { return FKept; }
  void Keep(const WideString& id) { FKept.push_back(id); }

  // The language, [Trackers] (live in list order, then kept) and every live
  // tracker's section, which a renamed tracker writes under its new ID, the
  // keys this version does not know after its own; the section it left goes
  // unless another entry still names it. Updates each
  // entry's Section. False when the file was not written (SaveError says why;
  // the file on disk is as it was).
  bool Save(const WideString& language, std::vector<TTrackerEntry>& live);
  // A removed tracker's section goes, unless another entry still names it.
  void Remove(const TTrackerEntry& removed, const std::vector<TTrackerEntry>& remaining);
  // After the last save of a run (Exit): later saves write nothing, so none
  // can write less than it did.
  void Seal() { FSealed = true; }
  const WideString& SaveError() const { return FSaveError; }
  // Sections whose ApiKey is in plain text, a tracker's or not: after Load
  // the keys written by hand, after Save those that could not be encrypted.
  std::vector<WideString> PlainKeySections() const;

private:
  void Block(const WideString& why);
  void KeepAside(const WideString& stamp);
  // The section indexes that some entry other than skip names.
  std::vector<bool> NamedSections(const std::vector<TTrackerEntry>& live, const TTrackerEntry* skip) const;
  void EraseUnnamed(const WideString& section, const std::vector<bool>& named);
  void ProtectPlainKeys();

  WideString FFileName;
  std::unique_ptr<TWMemIniFile> FIni;
  TKeyProtector FProtectKey;
  TSettingsState FState = TSettingsState::FirstRun;
  WideString FKeptFile;
  WideString FLoadError;
  std::vector<TTrackerStart> FToCreate;
  std::vector<WideString> FKept;
  WideString FSaveError;
  bool FSealed = false;
  bool FLastSaveOk = true;
};
