// CMediaType: an AM_MEDIA_TYPE that owns its format block (allocated with
// CoTaskMemAlloc, as media types crossing interfaces are) and its pUnk, plus
// the free functions for media types handed over by other objects.
#pragma once

#include <windows.h>
#include <strmif.h>

class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  CMediaType(const CMediaType& other);
  explicit CMediaType(const AM_MEDIA_TYPE& other);
  ~CMediaType();
  // A failed deep copy leaves an empty type (no format block).
  CMediaType& operator=(const CMediaType& other);
  CMediaType& operator=(const AM_MEDIA_TYPE& other);

  // Equal major type, subtype, format type and format block contents.
  bool operator==(const CMediaType& other) const;
  bool operator!=(const CMediaType& other) const { return !(*this == other); }

  // Deep copy of `other`; E_OUTOFMEMORY (and an empty type) when its format
  // block cannot be copied.
  HRESULT Set(const AM_MEDIA_TYPE& other);

  // A format block of `length` bytes: the present block is kept when it has
  // exactly that size, else replaced by a new uninitialised one. cbFormat
  // becomes `length`. Null on failure (the type then has no format block).
  BYTE* AllocFormatBuffer(ULONG length);
  void ResetFormatBuffer();

  BYTE* Format() const { return pbFormat; }
  ULONG FormatLength() const { return cbFormat; }
  const GUID* Type() const { return &majortype; }
  const GUID* Subtype() const { return &subtype; }
  const GUID* FormatType() const { return &formattype; }
  bool IsValid() const { return !IsEqualGUID(majortype, GUID_NULL); }

  // Every field to its empty value: null GUIDs, no format block, fixed-size
  // samples of 1 byte (the documented default of a fresh media type).
  void InitMediaType();

  // True when every field that `pattern` specifies (a non-null GUID) is the
  // same here; a pattern with a format type must also have equal format bytes.
  bool MatchesPartial(const CMediaType& pattern) const;
};

// Releases the format block and pUnk of `type` and zeroes them.
void FreeMediaType(AM_MEDIA_TYPE& type);
// FreeMediaType and then CoTaskMemFree of the structure itself, as for a type
// returned by IMediaSample::GetMediaType or an enumerator. Null is ignored.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// A CoTaskMemAlloc'd deep copy of `source`, or null.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);
// Deep copy into `target` (which holds no allocation); E_OUTOFMEMORY.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
