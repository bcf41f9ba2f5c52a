#pragma once
// The source fields both tracker dialogs share: the Source list, the Server,
// API key, JSON pointer and Header edits, the Test button and the line that
// says why a tracker shows "?". The API key edit is a password field that
// never shows a stored key: empty, with "unchanged" as its cue, until the
// user types a new one.
#include <cstdint>
#include <memory>
#include <string>

#include "dialogs/DialogHost.h"
#include "platform/ProgramIds.h"
#include "platform/WinApi.h"
#include "text/TextLookup.h"
#include "tracker/TrackerSource.h"

// The labels' texts.
constexpr std::initializer_list<int32_t> SOURCE_FIELD_TEXTS = {LABEL_SOURCE, LABEL_SERVER, LABEL_APIKEY, LABEL_POINTER,
                                                              LABEL_HEADER, IDC_TEST, LABEL_SOURCE_GROUP};

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
  explicit TSourceFields(const TDialogHost& host) : FHost(host), FTexts(host.Texts) {}
  TSourceFields(const TSourceFields&) = delete;
  TSourceFields& operator=(const TSourceFields&) = delete;

  // Fills the list and the edits; storedKey, entered for source, sets the cue.
  // A source this version does not know is listed as such for this tracker
  // alone, and its keys are kept unless the user agrees to replace it.
  void Init(HWND dialog, const TSourceSettings& source, const WideString& storedKey);
  void Relabel(HWND dialog);
  TSourceInput Read(HWND dialog) const;
  // The stored key the saved record keeps: storedKey when nothing was typed,
  // only for the source and origin it was entered for; none for the counter
  // service or when a key was typed (the edit carries that one).
  WideString KeptKey(const TSourceInput& input, const WideString& storedKey) const;
  // The typed key the edit carries to be stored; none for the counter service.
  std::string KeyToStore(const TSourceInput& input) const;
  // False when the host says the typed key cannot be stored here
  // (STR_KEY_NOT_STORED): nothing is then saved.
  bool KeyStorable(const TSourceInput& input) const;
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

  const TDialogHost& FHost;
  const TTextLookup* FTexts;
  std::string FKeyOrigin;  // the stored key's KeyOrigin; empty when none is stored
  TSourceSettings FUnknown;  // the tracker's source while this version does not know it and it stays
  std::unique_ptr<TTestPoll> FTest;  // the Test poll in flight; freed with the dialog
};
