#pragma once
// The version check: the maker's version file, read once per start on the GUI
// thread, and the offer to download a newer version.
#include "app/PageOpener.h"
#include "platform/WinApi.h"
#include "text/TextLookup.h"
#include "text/TextIds.h"

class TInetThread;

constexpr const char DOWNLOAD_PATH[] = "/indir";

// The version file is a few lines: anything longer, deeper or with a
// document type is not it.
constexpr size_t VERSION_FILE_MAX_CHARS = 1 << 20;
constexpr int32_t VERSION_FILE_MAX_DEPTH = 16;

// True when the text declares a document type, an entity or any other markup
// declaration, wherever it stands.
bool HasDocumentType(const WideString& xml);

// The text of "/data/version" of the XML document, or empty when the text is
// no XML, has no such node, has a document type, or no XML parser could be
// made. COM must be initialised on the calling thread.
WideString ParseVersionXml(const WideString& xml);

// The worker's body, when it brought a whole 2xx answer, as text in the ANSI
// code page; otherwise empty.
WideString VersionFileText(TInetThread& worker);

// Asks the user, in a box owned by owner, whether to download a version newer
// than the program's, and opens the download page on Yes.
void OfferNewerVersion(HWND owner, const TTextLookup* texts, const WideString& versionFile,
                       const TPageOpener& open = OpenPage);
