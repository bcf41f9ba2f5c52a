#include "text/WStrings.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace {

const WideChar kIndexError[] = u"List index out of bounds (%d)";
const WideChar kCapacityError[] = u"List capacity out of bounds (%d)";
const WideChar kAssignError[] = u"Cannot assign a %s to a %s";

// The text on disk is little-endian whatever the machine.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "UTF-16LE is written from memory as is");

}  // namespace

void TPersistent::Assign(TPersistent* source) {
  throw EConvertError(WideFormat(kAssignError, {source ? source->ClassName() : WideString(u"nil"), ClassName()}));
}

// ---- TWStrings ----

void TWStrings::Assign(TPersistent* source) {
  auto* strings = dynamic_cast<TWStrings*>(source);
  if (!strings) return TPersistent::Assign(source);
  // Clearing first would leave nothing to copy from.
  if (strings == this) return;
  InUpdate(*this, [&] {
    Clear();
    AddStrings(strings);
  });
}

void* TWStrings::GetObject(int) const { return nullptr; }

WideString TWStrings::GetText() const {
  const int count = GetCount();
  size_t size = 0;
  for (int i = 0; i < count; ++i) size += Get(i).size() + 2;
  WideString text;
  text.reserve(size);
  for (int i = 0; i < count; ++i) {
    text += Get(i);
    text += u"\r\n";
  }
  return text;
}

void TWStrings::PutObject(int, void*) {}
void TWStrings::SetCapacity(int) {}
void TWStrings::SetUpdateState(bool) {}

void TWStrings::SetText(const WideString& text) {
  InUpdate(*this, [&] {
    Clear();
    const WideChar* p = text.c_str();  // the terminator ends the scan like an embedded U+0000
    while (*p) {
      const WideChar* start = p;
      while (*p && *p != u'\r' && *p != u'\n') ++p;
      Add(WideString(start, static_cast<size_t>(p - start)));
      if (*p == u'\r') ++p;
      if (*p == u'\n') ++p;
    }
  });
}

int TWStrings::Add(const WideString& s) {
  const int index = GetCount();
  Insert(index, s);
  return index;
}

int TWStrings::AddObject(const WideString& s, void* object) {
  const int index = Add(s);
  PutObject(index, object);
  return index;
}

void TWStrings::AddStrings(TWStrings* source) {
  InUpdate(*this, [&] {
    const int count = source->GetCount();  // fixed up front: source may be this list
    for (int i = 0; i < count; ++i) AddObject(source->Get(i), source->GetObject(i));
  });
}

int TWStrings::IndexOf(const WideString& s) const {
  const int count = GetCount();
  for (int i = 0; i < count; ++i)
    if (Get(i) == s) return i;
  return -1;
}

int TWStrings::IndexOfName(const WideString& name) const {
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    const WideString s = Get(i);
    const size_t eq = s.find(u'=');
    if (eq != WideString::npos && s.compare(0, eq, name) == 0) return i;
  }
  return -1;
}

void TWStrings::LoadFromFile(const WideString& fileName) {
  TFileStream stream(fileName, TFileMode::OpenRead);
  uint8_t mark[2] = {0, 0};
  if (stream.Read(mark, 2) != 2 || mark[0] != 0xFF || mark[1] != 0xFE) stream.SetPosition(0);
  LoadFromStream(stream);
}

void TWStrings::LoadFromStream(TStream& stream) {
  InUpdate(*this, [&] {
    const int64_t bytes = stream.Size() - stream.Position();
    const int64_t units = bytes > 0 ? bytes / 2 : 0;  // an odd last byte is ignored
    // A text this large cannot be held in memory; refuse it rather than truncate the count.
    if (static_cast<uint64_t>(units) > std::numeric_limits<size_t>::max() / 4) throw EReadError(u"Stream read error");
    WideString text(static_cast<size_t>(units), u'\0');
    stream.ReadBuffer(&text[0], static_cast<size_t>(units) * 2);
    SetText(text);
  });
}

void TWStrings::SaveToFile(const WideString& fileName) {
  // The old file stays whole until the new one is complete on disk.
  TAtomicFileStream stream(fileName);
  stream.WriteBuffer("\xFF\xFE", 2);
  SaveToStream(stream);
  stream.Commit();
}

void TWStrings::SaveToStream(TStream& stream) {
  const WideString text = GetText();
  stream.WriteBuffer(text.data(), text.size() * sizeof(WideChar));
}

void TWStrings::BeginUpdate() {
  if (FUpdateCount == 0) SetUpdateState(true);
  ++FUpdateCount;
}

void TWStrings::EndUpdate() {
  --FUpdateCount;
  if (FUpdateCount == 0) SetUpdateState(false);
}

// ---- TWStringList ----

TWStringList::~TWStringList() {
  delete[] FList;
}

void TWStringList::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit) throw EStringListError(WideFormat(kIndexError, {index}));
}

const WideString& TWStringList::StringRef(int index) const {
  CheckIndex(index, FCount);
  return FList[index].FString;
}

WideString TWStringList::Get(int index) const { return StringRef(index); }

void* TWStringList::GetObject(int index) const {
  CheckIndex(index, FCount);
  return FList[index].FObject;
}

// As the base, without copying every item twice.
WideString TWStringList::GetText() const {
  size_t size = 0;
  for (int i = 0; i < FCount; ++i) size += FList[i].FString.size() + 2;
  WideString text;
  text.reserve(size);
  for (int i = 0; i < FCount; ++i) text.append(FList[i].FString).append(u"\r\n");
  return text;
}

void TWStringList::Put(int index, const WideString& s) {
  CheckIndex(index, FCount);
  FList[index].FString = s;
  Changed();
}

void TWStringList::PutObject(int index, void* object) {
  CheckIndex(index, FCount);
  FList[index].FObject = object;
  Changed();
}

void TWStringList::SetCapacity(int capacity) {
  if (capacity < FCount) throw EStringListError(WideFormat(kCapacityError, {capacity}));
  if (capacity == FCapacity) return;
  TWStringItem* list = capacity > 0 ? new TWStringItem[static_cast<size_t>(capacity)] : nullptr;
  for (int i = 0; i < FCount; ++i) {
    list[i].FString.swap(FList[i].FString);
    list[i].FObject = FList[i].FObject;
  }
  delete[] FList;
  FList = list;
  FCapacity = capacity;
}

void TWStringList::Grow() {
  const int delta = FCapacity > 64 ? FCapacity / 4 : FCapacity > 8 ? 16 : 4;
  if (FCapacity > std::numeric_limits<int32_t>::max() - delta) throw std::bad_alloc();
  SetCapacity(FCapacity + delta);
}

void TWStringList::SetUpdateState(bool updating) {
  if (!updating) Changed();
}

int TWStringList::Add(const WideString& s) {
  const int index = FCount;
  InsertItem(index, s);
  return index;
}

void TWStringList::Clear() {
  if (FCount == 0) return;
  for (int i = 0; i < FCount; ++i) FList[i] = TWStringItem();
  FCount = 0;
  SetCapacity(0);
  Changed();
}

void TWStringList::Delete(int index) {
  CheckIndex(index, FCount);
  std::move(FList + index + 1, FList + FCount, FList + index);
  --FCount;
  FList[FCount] = TWStringItem();
  Changed();
}

void TWStringList::Insert(int index, const WideString& s) {
  CheckIndex(index, FCount + 1);
  InsertItem(index, s);
}

void TWStringList::InsertItem(int index, const WideString& s) {
  if (FCount == FCapacity) Grow();
  WideString text = s;  // copied before the move so a failed copy changes nothing
  std::move_backward(FList + index, FList + FCount, FList + FCount + 1);
  FList[index].FString.swap(text);
  FList[index].FObject = nullptr;
  ++FCount;
  Changed();
}

// A hook for lists that keep indexes of their items.
void TWStringList::Changed() {}

WideString TextOfUtf16(const std::string& bytes) {
  const size_t skip = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE' ? 2 : 0;
  WideString text((bytes.size() - skip) / 2, u'\0');
  if (!text.empty()) std::memcpy(&text[0], bytes.data() + skip, text.size() * 2);
  return text;
}

bool IsWholeUtf16Text(const std::string& bytes) {
  if (bytes.size() % 2 != 0) return false;
  const WideString text = TextOfUtf16(bytes);
  for (size_t i = 0; i < text.size(); ++i) {
    const WideChar c = text[i];
    if (c < u' ' && c != u'\t' && c != u'\r' && c != u'\n') return false;
    if (c == 0xFFFE || c == 0xFFFF || c == 0x0A0D) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}
