// Little-endian access to byte buffers. Every read and write is bounds-checked: a
// reader that runs past its data returns zeros and remembers the failure, a writer that
// would run past its buffer writes nothing and remembers it. Binary records are never
// overlaid with structs; codecs go through these helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrel {

inline std::uint16_t LoadU16(std::span<const std::uint8_t> d, std::size_t off) {
  if (off > d.size() || d.size() - off < 2) return 0;
  return static_cast<std::uint16_t>(d[off] | (d[off + 1] << 8));
}
inline std::uint32_t LoadU32(std::span<const std::uint8_t> d, std::size_t off) {
  if (off > d.size() || d.size() - off < 4) return 0;
  return static_cast<std::uint32_t>(d[off]) | (static_cast<std::uint32_t>(d[off + 1]) << 8) |
         (static_cast<std::uint32_t>(d[off + 2]) << 16) | (static_cast<std::uint32_t>(d[off + 3]) << 24);
}
inline std::int32_t LoadI32(std::span<const std::uint8_t> d, std::size_t off) {
  return static_cast<std::int32_t>(LoadU32(d, off));
}
inline bool StoreU16(std::span<std::uint8_t> d, std::size_t off, std::uint16_t v) {
  if (off > d.size() || d.size() - off < 2) return false;
  d[off] = static_cast<std::uint8_t>(v);
  d[off + 1] = static_cast<std::uint8_t>(v >> 8);
  return true;
}
inline bool StoreU32(std::span<std::uint8_t> d, std::size_t off, std::uint32_t v) {
  if (off > d.size() || d.size() - off < 4) return false;
  for (int i = 0; i < 4; ++i) d[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
  return true;
}
inline bool StoreI32(std::span<std::uint8_t> d, std::size_t off, std::int32_t v) {
  return StoreU32(d, off, static_cast<std::uint32_t>(v));
}

// Sequential reader over untrusted bytes.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::uint8_t U8() { return Has(1) ? data_[pos_++] : Fail<std::uint8_t>(1); }
  std::uint16_t U16() {
    if (!Has(2)) return Fail<std::uint16_t>(2);
    auto v = LoadU16(data_, pos_);
    pos_ += 2;
    return v;
  }
  std::uint32_t U32() {
    if (!Has(4)) return Fail<std::uint32_t>(4);
    auto v = LoadU32(data_, pos_);
    pos_ += 4;
    return v;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  // The next n bytes, or an empty span (and failure) when fewer remain.
  std::span<const std::uint8_t> Bytes(std::size_t n) {
    if (!Has(n)) return Fail<std::span<const std::uint8_t>>(n);
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  void Skip(std::size_t n) { (void)Bytes(n); }
  bool Seek(std::size_t off) {
    if (off > data_.size()) {
      ok_ = false;
      return false;
    }
    pos_ = off;
    return true;
  }

  bool Has(std::size_t n) const { return data_.size() - pos_ >= n; }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return data_.size() - pos_; }
  bool Ok() const { return ok_; }

 private:
  template <typename T>
  T Fail(std::size_t) {
    ok_ = false;
    pos_ = data_.size();
    return T{};
  }
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// Sequential writer into a fixed buffer.
class ByteWriter {
 public:
  explicit ByteWriter(std::span<std::uint8_t> data) : data_(data) {}

  void U8(std::uint8_t v) {
    if (Room(1)) data_[pos_++] = v;
  }
  void U16(std::uint16_t v) {
    if (Room(2)) {
      StoreU16(data_, pos_, v);
      pos_ += 2;
    }
  }
  void U32(std::uint32_t v) {
    if (Room(4)) {
      StoreU32(data_, pos_, v);
      pos_ += 4;
    }
  }
  void Bytes(std::span<const std::uint8_t> b) {
    if (!Room(b.size())) return;
    for (std::size_t i = 0; i < b.size(); ++i) data_[pos_ + i] = b[i];
    pos_ += b.size();
  }
  void Zeros(std::size_t n) {
    if (!Room(n)) return;
    for (std::size_t i = 0; i < n; ++i) data_[pos_ + i] = 0;
    pos_ += n;
  }

  std::size_t Position() const { return pos_; }
  bool Ok() const { return ok_; }

 private:
  bool Room(std::size_t n) {
    if (ok_ && data_.size() - pos_ >= n) return true;
    ok_ = false;
    return false;
  }
  std::span<std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace vantrel
