#pragma once
// Lists of wide strings, each with an object reference the list does not own,
// and their UTF-16 text form on disk (FF FE, CR LF).
#include <cstdint>
#include <functional>

#include "text/WStreams.h"
#include "text/WStrUtils.h"

class EStringListError : public Exception {
public:
  using Exception::Exception;
};
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// Base of objects whose content can be copied from another object.
class TPersistent {
public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  virtual ~TPersistent() = default;
  // Raises "Cannot assign a %s to a %s" unless a derived class knows the source.
  virtual void Assign(TPersistent* source);
  virtual WideString ClassName() const { return u"TPersistent"; }
};

class TWStrings : public TPersistent {
public:
  void Assign(TPersistent* source) override;
  WideString ClassName() const override { return u"TWStrings"; }

  virtual WideString Get(int index) const = 0;
  virtual int GetCount() const = 0;
  virtual void* GetObject(int index) const;
  virtual WideString GetText() const;
  virtual void Put(int index, const WideString& s) = 0;
  virtual void PutObject(int index, void* object);
  virtual void SetCapacity(int capacity);
  virtual void SetText(const WideString& text);
  virtual int Add(const WideString& s);
  virtual int AddObject(const WideString& s, void* object);
  virtual void AddStrings(TWStrings* source);
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  virtual int IndexOf(const WideString& s) const;
  virtual int IndexOfName(const WideString& name) const;
  virtual void Insert(int index, const WideString& s) = 0;
  virtual void LoadFromFile(const WideString& fileName);
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToFile(const WideString& fileName);
  virtual void SaveToStream(TStream& stream);

  void BeginUpdate();
  void EndUpdate();

protected:
  virtual void SetUpdateState(bool updating);

private:
  int32_t FUpdateCount = 0;
};

struct TWStringItem {
  WideString FString;
  void* FObject = nullptr;
};

class TWStringList : public TWStrings {
public:
  TWStringList() = default;
  ~TWStringList() override;
  WideString ClassName() const override { return u"TWStringList"; }

  WideString Get(int index) const override;
  int GetCount() const override { return FCount; }
  void* GetObject(int index) const override;
  WideString GetText() const override;
  void Put(int index, const WideString& s) override;
  void PutObject(int index, void* object) override;
  void SetCapacity(int capacity) override;
  int Add(const WideString& s) override;
  void Clear() override;
  void Delete(int index) override;
  void Insert(int index, const WideString& s) override;

  // The text of item index without a copy; same bounds check as Get.
  const WideString& StringRef(int index) const;


protected:
  void SetUpdateState(bool updating) override;
  virtual void Changed();

private:
  void CheckIndex(int index, int limit) const;
  void Grow();
  void InsertItem(int index, const WideString& s);

  TWStringItem* FList = nullptr;
  int32_t FCount = 0;
  int32_t FCapacity = 0;
};

// The text of UTF-16 LE bytes past a leading FF FE; an odd last byte is ignored.
WideString TextOfUtf16(const std::string& bytes);
// True when the bytes are UTF-16 LE text that a string list reads in full and
// that nothing else read as UTF-16 would give: an even count, no U+0000 (where
// reading stops), no lone surrogate, no C0 control but tab, CR and LF, no
// U+FFFE or U+FFFF, and no U+0A0D (the CR LF of 8-bit text).
bool IsWholeUtf16Text(const std::string& bytes);

// Runs body inside BeginUpdate/EndUpdate of list; the bracket closes on failure too.
template <typename Body>
void InUpdate(TWStrings& list, Body body) {
  list.BeginUpdate();
  try {
    body();
  } catch (...) {
    list.EndUpdate();
    throw;
  }
  list.EndUpdate();
}
