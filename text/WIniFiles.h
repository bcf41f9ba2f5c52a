#pragma once
// INI text of wide strings held in memory: sections and keys found without
// regard to case through hashed lists, typed values, write-back as UTF-16.
#include <cstdint>
#include <memory>
#include <vector>

#include "text/WStreams.h"
#include "text/WStrings.h"

// Chain item of TWStringHash; Next is the index of the next item, -1 at the end.
struct THashItemW {
  int32_t Next;
  WideString Key;
  int32_t Value;
  uint32_t KeyHash;
};

// Chained hash table from wide keys to integers. Add puts the new item at the
// head of its chain, so of equal keys the one added last is found.
class TWStringHash {
public:
  explicit TWStringHash(int size);
  TWStringHash(const TWStringHash&) = delete;
  TWStringHash& operator=(const TWStringHash&) = delete;
  virtual ~TWStringHash() = default;

  virtual uint32_t Hash(const WideString& key) const;
  void Add(WideString key, int32_t value);
  int32_t ValueOf(const WideString& key) const;
  void Clear();
  // Drops the items of value and lowers every greater value by one, keeping
  // the chain order: the index of a list after its item number value went.
  void RemoveValue(int32_t value);
  int BucketCount() const { return static_cast<int>(FBuckets.size()); }

private:
  std::vector<int32_t> FBuckets;
  std::vector<THashItemW> FItems;
};

// A string list whose IndexOf and IndexOfName go through hash indexes, built
// on first use after a change. Names compare folded.
class TWHashedStringList : public TWStringList {
public:
  TWHashedStringList() = default;
  ~TWHashedStringList() override;
  WideString ClassName() const override { return u"TWHashedStringList"; }

  int IndexOf(const WideString& s) const override;
  int IndexOfName(const WideString& name) const override;

  // Appending, deleting and changing an object keep valid indexes valid, so
  // that a long list (the sections of a file) is not indexed anew after each.
  int Add(const WideString& s) override;
  void Insert(int index, const WideString& s) override;
  void Delete(int index) override;
  void PutObject(int index, void* object) override;

protected:
  void Changed() override;

private:
  struct TIndexState {
    uint32_t Changes;
    bool ValueValid;
    bool NameValid;
  };
  TIndexState State() const { return {FChanges, FValueHashValid, FNameHashValid}; }
  void Appended(const TIndexState& before, int index);
  WideString KeyOf(const WideString& s) const;
  void UpdateValueHash() const;
  void UpdateNameHash() const;

  uint32_t FChanges = 0;  // Changed calls so far: tells a lone change from one with side effects

  // Rebuilt lazily by lookups; a list shared between threads must be searched
  // once after its last change before other threads read it.
  mutable std::unique_ptr<TWStringHash> FValueHash;
  mutable std::unique_ptr<TWStringHash> FNameHash;
  mutable bool FValueHashValid = false;
  mutable bool FNameHashValid = false;
};

class TWCustomIniFile {
public:
  explicit TWCustomIniFile(const WideString& fileName) : FFileName(fileName) {}
  TWCustomIniFile(const TWCustomIniFile&) = delete;
  TWCustomIniFile& operator=(const TWCustomIniFile&) = delete;
  virtual ~TWCustomIniFile() = default;

  const WideString& FileName() const { return FFileName; }

  virtual WideString ReadString(const WideString& section, const WideString& ident,
                                const WideString& defaultValue) const = 0;
  virtual void WriteString(const WideString& section, const WideString& ident, const WideString& value) = 0;
  // The value in the syntax of text/IntegerSyntax.h; defaultValue when it does not parse.
  virtual int32_t ReadInteger(const WideString& section, const WideString& ident, int32_t defaultValue) const;
  virtual void WriteInteger(const WideString& section, const WideString& ident, int32_t value);
  virtual bool ReadBool(const WideString& section, const WideString& ident, bool defaultValue) const;
  virtual void WriteBool(const WideString& section, const WideString& ident, bool value);
  virtual void ReadSections(TWStrings* strings) const = 0;
  virtual void ReadSectionValues(const WideString& section, TWStrings* strings) const = 0;
  virtual void EraseSection(const WideString& section) = 0;
  virtual void UpdateFile() = 0;

  // A section without a single line does not count.
  virtual bool SectionExists(const WideString& section) const = 0;

private:
  WideString FFileName;
};

class TWMemIniFile : public TWCustomIniFile {
public:
  // Reads the file when it exists and load is true; an empty name or a missing
  // file gives an empty INI.
  explicit TWMemIniFile(const WideString& fileName, bool load = true);
  ~TWMemIniFile() override;

  // Bytes that UpdateFile could have written in full: whole UTF-16 text after
  // FF FE that ends with a line break (or holds nothing).
  static bool IsWholeFile(const std::string& bytes);

  void Clear();
  // Appends the text form: each section's header, its lines, an empty line.
  void GetStrings(TWStrings* list) const;
  // Replaces the whole content by the INI text in list.
  void SetStrings(TWStrings* list);

  WideString ReadString(const WideString& section, const WideString& ident,
                        const WideString& defaultValue) const override;
  void WriteString(const WideString& section, const WideString& ident, const WideString& value) override;
  void ReadSections(TWStrings* strings) const override;
  void ReadSectionValues(const WideString& section, TWStrings* strings) const override;
  void EraseSection(const WideString& section) override;
  // Replaces the file as a whole: on any failure the old file stays as it was.
  void UpdateFile() override;
  bool SectionExists(const WideString& section) const override;

  // Sections are found without regard to case, but where a hand edit left two
  // whose names differ only in case, each name finds its own: the section of
  // exactly that name wins, the last one added of the same name ignoring case
  // otherwise. -1 when there is none.
  int SectionIndex(const WideString& section) const;
  // The name of the section at that index, exactly as it is stored.
  const WideString& SectionName(int index) const { return FSections->StringRef(index); }
  // Adds an empty section at the end under exactly this name, beside any that
  // differs only in case; the name then finds it.
  void AppendSection(const WideString& name);
  // Adds a line as ReadSectionValues gives it at the end of section (made when
  // missing), beside any of the same name: lines carried over stay as they were.
  void AppendLine(const WideString& section, const WideString& line);

protected:
  TWHashedStringList* AddSection(const WideString& name);
  void LoadValues();

private:
  TWHashedStringList* Lines(int index) const;
  // Each item is a section name; its object is that section's lines, owned here.
  TWHashedStringList* FSections;
};
