#include "tracker/TrackerId.h"

#include "text/WFold.h"

TTrackerIdCheck CheckTrackerId(const WideString& id, const std::vector<WideString>& taken) {
  if (id.empty()) return TTrackerIdCheck::Empty;
  if (id.size() > TRACKER_ID_MAX_LENGTH) return TTrackerIdCheck::Unsafe;
  // The INI text trims names and values and breaks lines at control codes; a
  // line starting with ";" is a comment, "[" starts a header, and other INI
  // readers end a section name at its first "]".
  if (id.front() <= u' ' || id.back() <= u' ' || id.front() == u'[' || id.front() == u';') return TTrackerIdCheck::Unsafe;
  for (WideChar c : id)
    if (c < u' ' || c == u']') return TTrackerIdCheck::Unsafe;
  // Sections compare the way the INI file does, so a case variant is the same section.
  const WideString folded = FoldName(id);
  if (folded == FoldName(SECTION_CONFIG) || folded == FoldName(SECTION_TRACKERS)) return TTrackerIdCheck::Unsafe;
  for (const WideString& other : taken)
    if (FoldName(other) == folded) return TTrackerIdCheck::Taken;
  return TTrackerIdCheck::Ok;
}
