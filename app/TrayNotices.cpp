#include "app/TrayNotices.h"

#include <iterator>

#include "app/TrayTotals.h"
#include "text/TextIds.h"
#include "text/WStrUtils.h"

void ShowTrayTotals(TWidgetTray& tray, const TTextLookup* texts, const std::vector<TTrackerSettings>& trackers,
                    const WideString& fallback) {
  std::vector<TTrackerCount> counts;
  for (const TTrackerSettings& s : trackers) counts.push_back({s.Title.empty() ? s.ID : s.Title, s.Count});
  const WideString online = TextOr(texts, STR_TRAY_ONLINE, u"%s online");
  const WideString text = TrayTotalText(counts, online, std::size(NOTIFYICONDATAW().szTip) - 1);
  tray.SetTip(text.empty() ? fallback : text);
}

void ShowAlertBalloon(TWidgetTray& tray, const TTextLookup* texts, const TTrackerSettings& tracker, TAlertEvent event) {
  const bool spike = event == TAlertEvent::Spike;
  const WideString text =
      spike ? TextOr(texts, STR_ALERT_SPIKE, u"%d visitors online")
            : TextOr(texts, STR_ALERT_QUIET, u"no visitors for %d minutes: is the site or its tracking down?");
  tray.SetBalloonTitle(tracker.Title.empty() ? tracker.ID : tracker.Title);
  tray.SetBalloonText(WideFormat(text.c_str(), {spike ? tracker.Count : tracker.AlertQuiet}));
  tray.SetBalloonIcon(spike ? NIIF_INFO : NIIF_WARNING);
  tray.ShowBalloon();
}
