#pragma once
// The source fields both tracker dialogs share: the Source list, the Server,
// API key, JSON pointer and Header edits, the Test button and the line that
// says why a tracker shows "?". The API key edit is a password field that
// never shows a stored key: empty, with "unchanged" as its cue, until the
// user types a new one.
#include <cstdint>
#include <memory>
#include <string>

#include "inet/InetThrd.h"
#include "platform/WinApi.h"
#include "text/TextLookup.h"
#include "tracker/TrackerSource.h"

// Control ids; a label's id is also its text's.
constexpr int IDC_SOURCE = 1020;
constexpr int IDC_SERVER = 1021;
constexpr int IDC_APIKEY = 1022;
constexpr int IDC_POINTER = 1023;
constexpr int IDC_HEADER = 1024;
constexpr int IDC_SOURCE_STATUS = 1026;
constexpr int IDC_TEST = 3025;
constexpr int32_t LABEL_SOURCE_GROUP = 3026;
constexpr std::initializer_list<int32_t> SOURCE_FIELD_TEXTS = {3020, 3021, 3022, 3023, 3024, IDC_TEST,
                                                              LABEL_SOURCE_GROUP};

// What the fields hold.
struct TSourceInput {
  TSourceSettings Source;
  TSourceKind Kind = &DefaultSource();
  std::string TypedKey;  // empty: the key stays as it was
  // The tracker's source is one this version does not know: Source holds it
  // as it was, every key of it, and nothing typed.
  bool Unknown = false;
};

class TSourceFields {
public:
  TSourceFields(const TTextLookup* texts, std::string counterHost) : FTexts(texts), FCounterHost(std::move(counterHost)) {}
  ~TSourceFields();
  TSourceFields(const TSourceFields&) = delete;
  TSourceFields& operator=(const TSourceFields&) = delete;

  // Fills the list and the edits; storedKey, entered for source, sets the cue.
  // A source this version does not know is listed as such for this tracker
  // alone, and its keys are kept unless the user agrees to replace it.
  void Init(HWND dialog, const TSourceSettings& source, const WideString& storedKey);
  void Relabel(HWND dialog);
  TSourceInput Read(HWND dialog) const;
  // The stored form of the key the dialog saves: the typed key encrypted, or
  // storedKey when none was typed; none for the counter service. False when
  // a typed key could not be encrypted (nothing is then saved).
  // A stored key is saved only for the source and origin it was entered for.
  bool StoredKeyToSave(const TSourceInput& input, const WideString& storedKey, WideString& result) const;
  // A key is stored, but for another source or origin, and this one needs a
  // key: nothing was typed, so Test and Save refuse (STR_KEY_FOR_SERVER).
  bool KeyMustBeTyped(const TSourceInput& input) const;
  void SetStatus(HWND dialog, const WideString& text);

  // The dialog's own messages about the fields: the list's choice, the Test
  // button and the Test poll's answer. id is the tracker's ID as typed;
  // storedKey stands in for a key that was not typed. False for any other.
  bool Answer(HWND dialog, UINT msg, WPARAM wParam, const WideString& id, const WideString& storedKey);

private:
  WideString Text(int32_t id, const WideChar* fallback) const;
  WideString KeyForServerText() const;
  void StartTest(HWND dialog, const WideString& id, const WideString& storedKey);
  void ShowTestAnswer(HWND dialog);
  void SourceChosen(HWND dialog);
  bool ReplaceUnknown(HWND dialog);
  void ShowKeyCue(HWND dialog);
  bool StoredKeyApplies(const TSourceInput& input) const;

  const TTextLookup* FTexts;
  std::string FCounterHost;
  std::string FKeyOrigin;  // the stored key's KeyOrigin; empty when none is stored
  TSourceSettings FUnknown;  // the tracker's source while this version does not know it and it stays
  TSourceSettings FTested;  // the source the Test poll in flight asked
  std::unique_ptr<TInetThread> FTest;
};
