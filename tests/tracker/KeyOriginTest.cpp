#include <gtest/gtest.h>

#include "tracker/KeyOrigin.h"

namespace {
TSourceSettings Src(const char16_t* source, const char16_t* server, const char16_t* header = u"") {
  TSourceSettings s;
  s.Source = source, s.Server = server, s.Header = header;
  return s;
}
}  // namespace

// A stored key is bound to this: the same origin however it is written keeps
// it, another source or any other scheme, host or port loses it.
TEST(KeyOrigin, NamesTheSourceAndTheOriginItsRequestsGoTo) {
  const struct {
    TSourceSettings Source;
    const char* Origin;
  } cases[] = {
      {Src(u"plausible", u""), "plausible https://plausible.io:443"},
      {Src(u"Plausible", u"HTTPS://Plausible.IO/"), "plausible https://plausible.io:443"},
      {Src(u"plausible", u"https://plausible.io:443/sub/path"), "plausible https://plausible.io:443"},
      {Src(u"plausible", u"https://plausble.io"), "plausible https://plausble.io:443"},
      {Src(u"plausible", u"http://plausible.io"), "plausible http://plausible.io:80"},
      {Src(u"plausible", u"https://plausible.io:8443"), "plausible https://plausible.io:8443"},
      {Src(u"fathom", u""), "fathom https://api.usefathom.com:443"},
      {Src(u"umami", u""), "umami https://api.umami.is:443"},
      {Src(u"umami", u"https://api.umami.is"), "umami https://api.umami.is:443"},
      {Src(u"matomo", u""), "matomo "},
      {Src(u"json", u"https://J.example/live/{id}?site={id}"), "json https://j.example:443"},
      {Src(u"json", u"https://j.example?site={id}"), "json https://j.example:443"},
      {Src(u"json", u"https://user@j.example/{id}"), "json https://user@j.example/{id}"},
      {Src(u"PostHog", u"https://eu.posthog.com"), "posthog https://eu.posthog.com:443"},
      {Src(u"plausible", u"plausible.io"), "plausible plausible.io"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(KeyOrigin(c.Source), c.Origin) << Utf8FromWide(c.Source.Source + u" " + c.Source.Server);
}

TEST(KeyOrigin, EveryServiceButTheCounterNeedsAKeyAndJsonOnlyWhereItsHeaderNamesIt) {
  const struct {
    TSourceSettings Source;
    bool Needs;
  } cases[] = {
      {Src(u"", u""), false},         {Src(u"plausible", u""), true},
      {Src(u"matomo", u"x"), true},   {Src(u"json", u"https://j.example/{id}"), false},
      {Src(u"json", u"https://j.example/{id}", u"X-Key: {key}"), true},
      {Src(u"posthog", u""), true},
  };
  for (const auto& c : cases) EXPECT_EQ(SourceNeedsKey(c.Source), c.Needs) << Utf8FromWide(c.Source.Source);
}
