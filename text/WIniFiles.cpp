#include "text/WIniFiles.h"

#include <algorithm>
#include <string>

#include "text/IntegerSyntax.h"
#include "text/WFold.h"

namespace {

constexpr int kHashSize = 256;

// Narrows [first, last) of s past leading and trailing code units up to U+0020.
void TrimBounds(const WideString& s, size_t& first, size_t& last) {
  while (first < last && s[first] <= u' ') ++first;
  while (last > first && s[last - 1] <= u' ') --last;
}

// A line break or U+0000 inside a name or value would split its line on disk,
// or end the whole text on reading; they are written as spaces.
WideString SingleLine(WideString s) {
  for (WideChar& c : s)
    if (c == u'\r' || c == u'\n' || c == 0) c = u' ';
  return s;
}

// Enough buckets that chains stay short also for very long lists.
int BucketsFor(int count) {
  int buckets = kHashSize;
  while (buckets < count / 2 && buckets < (1 << 22)) buckets *= 2;
  return buckets;
}

}  // namespace

// ---- TWStringHash ----

TWStringHash::TWStringHash(int size) : FBuckets(static_cast<size_t>(size > 0 ? size : 1), -1) {}

uint32_t TWStringHash::Hash(const WideString& key) const {
  uint32_t h = 0;
  for (WideChar c : key) h = ((h << 2) | (h >> 30)) ^ c;
  return h;
}

void TWStringHash::Add(WideString key, int32_t value) {
  const uint32_t hash = Hash(key);
  const size_t bucket = hash % FBuckets.size();
  FItems.push_back(THashItemW{FBuckets[bucket], std::move(key), value, hash});
  FBuckets[bucket] = static_cast<int32_t>(FItems.size() - 1);
}

void TWStringHash::RemoveValue(int32_t value) {
  size_t kept = 0;
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (FItems[i].Value == value) continue;
    if (FItems[i].Value > value) --FItems[i].Value;
    if (kept != i) FItems[kept] = std::move(FItems[i]);
    ++kept;
  }
  FItems.resize(kept);
  // Linking again in the order of adding keeps the later of equal keys first.
  std::fill(FBuckets.begin(), FBuckets.end(), -1);
  for (size_t i = 0; i < FItems.size(); ++i) {
    const size_t bucket = FItems[i].KeyHash % FBuckets.size();
    FItems[i].Next = FBuckets[bucket];
    FBuckets[bucket] = static_cast<int32_t>(i);
  }
}

int32_t TWStringHash::ValueOf(const WideString& key) const {
  for (int32_t i = FBuckets[Hash(key) % FBuckets.size()]; i >= 0; i = FItems[static_cast<size_t>(i)].Next)
    if (FItems[static_cast<size_t>(i)].Key == key) return FItems[static_cast<size_t>(i)].Value;
  return -1;
}

void TWStringHash::Clear() {
  FItems.clear();
  std::fill(FBuckets.begin(), FBuckets.end(), -1);
}

// ---- TWHashedStringList ----

TWHashedStringList::~TWHashedStringList() = default;

WideString TWHashedStringList::KeyOf(const WideString& s) const { return FoldName(s); }

// Any change makes the indexes stale; they are rebuilt at the next lookup.
void TWHashedStringList::Changed() {
  ++FChanges;
  FValueHashValid = false;
  FNameHashValid = false;
  TWStringList::Changed();
}

// A new last item shifts no index: it joins the indexes that were valid just
// before, unless the list changed further or rebuilt them in between, or has
// outgrown their bucket count.
void TWHashedStringList::Appended(const TIndexState& before, int index) {
  if (FChanges != before.Changes + 1 || index != GetCount() - 1) return;
  const WideString& s = StringRef(index);
  const int buckets = BucketsFor(GetCount());
  if (before.ValueValid && !FValueHashValid && FValueHash->BucketCount() >= buckets) {
    FValueHash->Add(KeyOf(s), index);
    FValueHashValid = true;
  }
  if (before.NameValid && !FNameHashValid && FNameHash->BucketCount() >= buckets) {
    const size_t eq = s.find(u'=');
    if (eq != WideString::npos) FNameHash->Add(KeyOf(s.substr(0, eq)), index);
    FNameHashValid = true;
  }
}

int TWHashedStringList::Add(const WideString& s) {
  const TIndexState before = State();
  const int index = TWStringList::Add(s);
  Appended(before, index);
  return index;
}

void TWHashedStringList::Insert(int index, const WideString& s) {
  const TIndexState before = State();
  TWStringList::Insert(index, s);
  Appended(before, index);
}

void TWHashedStringList::Delete(int index) {
  const TIndexState before = State();
  TWStringList::Delete(index);
  if (FChanges != before.Changes + 1) return;
  if (before.ValueValid && !FValueHashValid) {
    FValueHash->RemoveValue(index);
    FValueHashValid = true;
  }
  if (before.NameValid && !FNameHashValid) {
    FNameHash->RemoveValue(index);
    FNameHashValid = true;
  }
}

// Objects are not part of any key.
void TWHashedStringList::PutObject(int index, void* object) {
  const TIndexState before = State();
  TWStringList::PutObject(index, object);
  if (FChanges != before.Changes + 1) return;
  FValueHashValid = FValueHashValid || before.ValueValid;
  FNameHashValid = FNameHashValid || before.NameValid;
}

void TWHashedStringList::UpdateValueHash() const {
  if (FValueHashValid) return;
  const int count = GetCount();
  if (!FValueHash || FValueHash->BucketCount() != BucketsFor(count))
    FValueHash = std::make_unique<TWStringHash>(BucketsFor(count));
  else
    FValueHash->Clear();
  for (int i = 0; i < count; ++i) FValueHash->Add(KeyOf(StringRef(i)), i);
  FValueHashValid = true;
}

void TWHashedStringList::UpdateNameHash() const {
  if (FNameHashValid) return;
  const int count = GetCount();
  if (!FNameHash || FNameHash->BucketCount() != BucketsFor(count))
    FNameHash = std::make_unique<TWStringHash>(BucketsFor(count));
  else
    FNameHash->Clear();
  for (int i = 0; i < count; ++i) {
    const WideString& s = StringRef(i);
    const size_t eq = s.find(u'=');
    if (eq != WideString::npos) FNameHash->Add(KeyOf(s.substr(0, eq)), i);
  }
  FNameHashValid = true;
}

int TWHashedStringList::IndexOf(const WideString& s) const {
  UpdateValueHash();
  return FValueHash->ValueOf(KeyOf(s));
}

int TWHashedStringList::IndexOfName(const WideString& name) const {
  UpdateNameHash();
  return FNameHash->ValueOf(KeyOf(name));
}

// ---- TWCustomIniFile ----

int32_t TWCustomIniFile::ReadInteger(const WideString& section, const WideString& ident, int32_t defaultValue) const {
  // "0x" needs no rewriting to "$": the integer syntax takes both prefixes.
  int32_t value;
  return ParseInteger32(ReadString(section, ident, WideString()), value) ? value : defaultValue;
}

void TWCustomIniFile::WriteInteger(const WideString& section, const WideString& ident, int32_t value) {
  const std::string digits = std::to_string(value);
  WriteString(section, ident, WideString(digits.begin(), digits.end()));
}

bool TWCustomIniFile::ReadBool(const WideString& section, const WideString& ident, bool defaultValue) const {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TWCustomIniFile::WriteBool(const WideString& section, const WideString& ident, bool value) {
  WriteString(section, ident, value ? u"1" : u"0");
}

// ---- TWMemIniFile ----

TWMemIniFile::TWMemIniFile(const WideString& fileName, bool load)
    : TWCustomIniFile(fileName), FSections(new TWHashedStringList) {
  try {
    if (load) LoadValues();
  } catch (...) {
    Clear();
    delete FSections;
    throw;
  }
}

TWMemIniFile::~TWMemIniFile() {
  Clear();
  delete FSections;
}

TWHashedStringList* TWMemIniFile::Lines(int index) const {
  return static_cast<TWHashedStringList*>(FSections->GetObject(index));
}

bool TWMemIniFile::IsWholeFile(const std::string& bytes) {
  if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE' || !IsWholeUtf16Text(bytes)) return false;
  return bytes.size() == 2 || (bytes.size() >= 4 && bytes.compare(bytes.size() - 4, 4, std::string("\r\0\n\0", 4)) == 0);
}

int TWMemIniFile::SectionIndex(const WideString& section) const {
  const int found = FSections->IndexOf(section);
  if (found < 0 || FSections->StringRef(found) == section) return found;
  for (int i = FSections->GetCount() - 1; i >= 0; --i)
    if (FSections->StringRef(i) == section) return i;
  return found;
}

void TWMemIniFile::AppendSection(const WideString& name) { AddSection(name); }

void TWMemIniFile::AppendLine(const WideString& section, const WideString& line) {
  const int i = SectionIndex(section);
  (i >= 0 ? Lines(i) : AddSection(section))->Add(line);
}

bool TWMemIniFile::SectionExists(const WideString& section) const {
  const int i = SectionIndex(section);
  return i >= 0 && Lines(i)->GetCount() > 0;
}

void TWMemIniFile::LoadValues() {
  if (!FileName().empty()) TAtomicFileStream::RecoverLeftover(FileName(), IsWholeFile);
  if (WideFileExists(FileName())) {
    TWStringList list;
    list.LoadFromFile(FileName());
    SetStrings(&list);
  } else {
    Clear();
  }
}

void TWMemIniFile::Clear() {
  for (int i = 0; i < FSections->GetCount(); ++i) delete Lines(i);
  FSections->Clear();
}

TWHashedStringList* TWMemIniFile::AddSection(const WideString& name) {
  auto lines = std::make_unique<TWHashedStringList>();
  FSections->AddObject(name, lines.get());
  return lines.release();
}

void TWMemIniFile::SetStrings(TWStrings* list) {
  Clear();
  // Trimming works on positions so that a long file costs one copy per line.
  const auto* plain = dynamic_cast<const TWStringList*>(list);
  TWHashedStringList* section = nullptr;
  WideString copy;
  const int count = list->GetCount();
  for (int i = 0; i < count; ++i) {
    const WideString& line = plain ? plain->StringRef(i) : (copy = list->Get(i));
    size_t first = 0;
    size_t last = line.size();
    TrimBounds(line, first, last);
    if (first == last || line[first] == u';') continue;
    if (last - first >= 2 && line[first] == u'[' && line[last - 1] == u']') {
      size_t nameFirst = first + 1;
      size_t nameLast = last - 1;
      TrimBounds(line, nameFirst, nameLast);
      section = AddSection(line.substr(nameFirst, nameLast - nameFirst));
    } else if (section) {
      const size_t eq = line.find(u'=', first);
      if (eq == WideString::npos) {
        section->Add(line.substr(first, last - first));
        continue;
      }
      size_t keyFirst = first;
      size_t keyLast = eq;
      size_t valueFirst = eq + 1;
      size_t valueLast = last;
      TrimBounds(line, keyFirst, keyLast);
      TrimBounds(line, valueFirst, valueLast);
      WideString stored;
      stored.reserve(keyLast - keyFirst + 1 + valueLast - valueFirst);
      stored.append(line, keyFirst, keyLast - keyFirst).append(1, u'=').append(line, valueFirst, valueLast - valueFirst);
      section->Add(stored);
    }
  }
}

void TWMemIniFile::GetStrings(TWStrings* list) const {
  InUpdate(*list, [&] {
    for (int i = 0; i < FSections->GetCount(); ++i) {
      list->Add(u"[" + SingleLine(FSections->StringRef(i)) + u"]");
      const TWHashedStringList* lines = Lines(i);
      for (int j = 0; j < lines->GetCount(); ++j) list->Add(SingleLine(lines->StringRef(j)));
      list->Add(WideString());
    }
  });
}

WideString TWMemIniFile::ReadString(const WideString& section, const WideString& ident,
                                    const WideString& defaultValue) const {
  const int i = SectionIndex(section);
  if (i < 0) return defaultValue;
  const TWHashedStringList* lines = Lines(i);
  const int j = lines->IndexOfName(ident);
  if (j < 0) return defaultValue;
  // After the first "=", whatever the length of the name as asked.
  const WideString& line = lines->StringRef(j);
  return line.substr(line.find(u'=') + 1);
}

void TWMemIniFile::WriteString(const WideString& section, const WideString& ident, const WideString& value) {
  const int i = SectionIndex(section);
  TWHashedStringList* lines = i >= 0 ? Lines(i) : AddSection(section);
  const WideString line = ident + u"=" + value;
  const int j = lines->IndexOfName(ident);
  if (j >= 0) lines->Put(j, line);
  else lines->Add(line);
}

void TWMemIniFile::ReadSections(TWStrings* strings) const { strings->Assign(FSections); }

void TWMemIniFile::ReadSectionValues(const WideString& section, TWStrings* strings) const {
  InUpdate(*strings, [&] {
    strings->Clear();
    const int i = SectionIndex(section);
    if (i >= 0) strings->Assign(Lines(i));
  });
}

void TWMemIniFile::EraseSection(const WideString& section) {
  const int i = SectionIndex(section);
  if (i < 0) return;
  TWHashedStringList* lines = Lines(i);
  FSections->Delete(i);
  delete lines;
}

void TWMemIniFile::UpdateFile() {
  TWStringList list;
  GetStrings(&list);
  list.SaveToFile(FileName());
}
