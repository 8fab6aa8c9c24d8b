// The host's growable array: a logical length, a physical length (reserved slots) and a grow
// step by which the physical length increases when an append finds no free slot.
#pragma once

#include <algorithm>
#include <cassert>
#include <utility>

#include "adesk.h"

template <class T>
class AcArray {
 public:
  explicit AcArray(int physicalLength = 0, int growLength = 8)
      : mGrowLength(growLength > 0 ? growLength : 8) {
    if (physicalLength > 0) reserveExactly(physicalLength);
  }
  AcArray(const AcArray& other) : mGrowLength(other.mGrowLength) { copyFrom(other); }
  AcArray(AcArray&& other) noexcept { swap(other); }
  AcArray& operator=(const AcArray& other) {
    if (this != &other) { AcArray copy(other); swap(copy); }
    return *this;
  }
  AcArray& operator=(AcArray&& other) noexcept { swap(other); return *this; }
  ~AcArray() { delete[] mpArray; }

  T& operator[](int i) { assert(isValid(i)); return mpArray[i]; }
  const T& operator[](int i) const { assert(isValid(i)); return mpArray[i]; }
  T& at(int i) { return (*this)[i]; }
  const T& at(int i) const { return (*this)[i]; }
  T& first() { return (*this)[0]; }
  const T& first() const { return (*this)[0]; }
  T& last() { return (*this)[mLogicalLen - 1]; }
  const T& last() const { return (*this)[mLogicalLen - 1]; }

  int append(const T& value) {
    T copy(value);  // the value may live in this array
    if (mLogicalLen == mPhysicalLen) reserveExactly(mPhysicalLen + mGrowLength);
    mpArray[mLogicalLen] = std::move(copy);
    return mLogicalLen++;
  }
  AcArray& append(const AcArray& other) {
    for (int i = 0; i < other.length(); ++i) append(other[i]);
    return *this;
  }
  AcArray& insertAt(int index, const T& value) {
    assert(index >= 0 && index <= mLogicalLen);
    T copy(value);
    if (mLogicalLen == mPhysicalLen) reserveExactly(mPhysicalLen + mGrowLength);
    for (int i = mLogicalLen; i > index; --i) mpArray[i] = std::move(mpArray[i - 1]);
    mpArray[index] = std::move(copy);
    ++mLogicalLen;
    return *this;
  }
  AcArray& removeAt(int index) {
    assert(isValid(index));
    for (int i = index; i + 1 < mLogicalLen; ++i) mpArray[i] = std::move(mpArray[i + 1]);
    mpArray[--mLogicalLen] = T();
    return *this;
  }
  AcArray& removeLast() { return removeAt(mLogicalLen - 1); }
  AcArray& removeFirst() { return removeAt(0); }
  bool remove(const T& value, int start = 0) {
    const int i = indexFrom(value, start);
    if (i < 0) return false;
    removeAt(i);
    return true;
  }
  AcArray& removeAll() { setLogicalLength(0); return *this; }
  AcArray& setAll(const T& value) {
    for (int i = 0; i < mLogicalLen; ++i) mpArray[i] = value;
    return *this;
  }
  // The index of the first element equal to value (from start), -1 when there is none.
  int find(const T& value) const { return indexFrom(value, 0); }
  int findFrom(const T& value, int start) const { return indexFrom(value, start); }
  bool find(const T& value, int& foundAt, int start = 0) const {
    foundAt = indexFrom(value, start);
    return foundAt >= 0;
  }
  bool contains(const T& value, int start = 0) const { return indexFrom(value, start) >= 0; }
  AcArray& swap(int i, int j) {
    assert(isValid(i) && isValid(j));
    std::swap(mpArray[i], mpArray[j]);
    return *this;
  }
  AcArray& reverse() {
    std::reverse(mpArray, mpArray + mLogicalLen);
    return *this;
  }

  int length() const { return mLogicalLen; }
  int logicalLength() const { return mLogicalLen; }
  int physicalLength() const { return mPhysicalLen; }
  int growLength() const { return mGrowLength; }
  bool isEmpty() const { return mLogicalLen == 0; }
  AcArray& setGrowLength(int n) { if (n > 0) mGrowLength = n; return *this; }
  AcArray& setLogicalLength(int n) {
    assert(n >= 0);
    if (n > mPhysicalLen) reserveExactly(n);
    for (int i = n; i < mLogicalLen; ++i) mpArray[i] = T();
    mLogicalLen = n;
    return *this;
  }
  AcArray& setPhysicalLength(int n) {
    if (n < mLogicalLen) setLogicalLength(n);
    reserveExactly(n);
    return *this;
  }
  bool isValid(int i) const { return i >= 0 && i < mLogicalLen; }

  T* asArrayPtr() { return mpArray; }
  const T* asArrayPtr() const { return mpArray; }
  T* begin() { return mpArray; }
  T* end() { return mpArray + mLogicalLen; }
  const T* begin() const { return mpArray; }
  const T* end() const { return mpArray + mLogicalLen; }

  bool operator==(const AcArray& other) const {
    return mLogicalLen == other.mLogicalLen && std::equal(begin(), end(), other.begin());
  }

  void swap(AcArray& other) noexcept {
    std::swap(mpArray, other.mpArray);
    std::swap(mPhysicalLen, other.mPhysicalLen);
    std::swap(mLogicalLen, other.mLogicalLen);
    std::swap(mGrowLength, other.mGrowLength);
  }

 private:
  // The index of the first element equal to value from start on, -1 if none. (A call of find
  // with an int variable as its second argument could mean either find.)
  int indexFrom(const T& value, int start) const {
    for (int i = start < 0 ? 0 : start; i < mLogicalLen; ++i)
      if (mpArray[i] == value) return i;
    return -1;
  }
  void reserveExactly(int n) {
    if (n == mPhysicalLen) return;
    T* fresh = n > 0 ? new T[n] : nullptr;
    for (int i = 0; i < mLogicalLen && i < n; ++i) fresh[i] = std::move(mpArray[i]);
    delete[] mpArray;
    mpArray = fresh;
    mPhysicalLen = n;
  }
  void copyFrom(const AcArray& other) {
    reserveExactly(other.mPhysicalLen);
    for (int i = 0; i < other.mLogicalLen; ++i) mpArray[i] = other.mpArray[i];
    mLogicalLen = other.mLogicalLen;
  }

  T* mpArray = nullptr;
  int mPhysicalLen = 0;
  int mLogicalLen = 0;
  int mGrowLength = 8;
};
