#include "registry/store/journal.h"

#include <array>

namespace tav::regstore {

namespace {

constexpr std::string_view kMagic = "TAV32JL1";
constexpr size_t kRecordHead = 8;              // length and checksum
constexpr uint32_t kLongestRecord = 1u << 30;  // more is a damaged length

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t Crc32(std::string_view bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (char b : bytes) c = kCrcTable[(c ^ static_cast<uint8_t>(b)) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void PutNumber(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t NumberAt(std::string_view bytes, size_t at, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

void PutText(std::string& out, std::string_view text) {
  PutNumber(out, text.size(), 4);
  out += text;
}

// Reads a record's body front to back; any read past its end fails it.
class BodyReader {
 public:
  explicit BodyReader(std::string_view body) : body_(body) {}
  bool Number(uint64_t& value, int count) {
    if (body_.size() - at_ < static_cast<size_t>(count)) return false;
    value = NumberAt(body_, at_, count);
    at_ += static_cast<size_t>(count);
    return true;
  }
  bool Text(std::string& text) {
    uint64_t size = 0;
    if (!Number(size, 4) || body_.size() - at_ < size) return false;
    text.assign(body_.substr(at_, size));
    at_ += size;
    return true;
  }
  bool AtEnd() const { return at_ == body_.size(); }

 private:
  std::string_view body_;
  size_t at_ = 0;
};

bool DecodeBody(std::string_view body, JournalRecord& record) {
  BodyReader in(body);
  uint64_t kind = 0;
  uint64_t steps = 0;
  if (!in.Number(kind, 1) || kind < 1 || kind > 4 || !in.Number(steps, 2)) return false;
  record.kind = static_cast<ChangeKind>(kind);
  record.path.resize(steps);
  for (std::string& step : record.path) {
    if (!in.Text(step)) return false;
  }
  uint64_t type = 0;
  std::string data;
  if (!in.Text(record.value.name) || !in.Number(type, 4) || !in.Text(data) || !in.AtEnd()) return false;
  record.value.type = static_cast<uint32_t>(type);
  record.value.data.assign(data.begin(), data.end());
  return true;
}

// The key at path below root; created with the path's case when create is
// set, else null when a step is missing.
StoredKey* KeyAt(StoredKey& root, const std::vector<std::string>& path, size_t steps, bool create) {
  StoredKey* key = &root;
  for (size_t i = 0; i < steps && key != nullptr; ++i) {
    key = create ? &key->AddSubkey(path[i]) : key->FindSubkey(path[i]);
  }
  return key;
}

}  // namespace

JournalBase BaseOf(std::string_view storeBytes) {
  // FNV-1a, 64 bits.
  uint64_t hash = 0xCBF29CE484222325ull;
  for (char b : storeBytes) hash = (hash ^ static_cast<uint8_t>(b)) * 0x100000001B3ull;
  return JournalBase{storeBytes.size(), hash};
}

std::string JournalHeader(const JournalBase& base) {
  std::string out(kMagic);
  PutNumber(out, base.size, 8);
  PutNumber(out, base.hash, 8);
  PutNumber(out, Crc32(out), 4);
  PutNumber(out, 0, 4);
  return out;
}

bool ReadJournalHeader(std::string_view bytes, JournalBase& base) {
  if (bytes.size() < kJournalHeaderSize || bytes.substr(0, kMagic.size()) != kMagic) return false;
  if (NumberAt(bytes, 24, 4) != Crc32(bytes.substr(0, 24)) || NumberAt(bytes, 28, 4) != 0) return false;
  base.size = NumberAt(bytes, 8, 8);
  base.hash = NumberAt(bytes, 16, 8);
  return true;
}

std::string EncodeRecord(const JournalRecord& record) {
  std::string body;
  PutNumber(body, static_cast<uint8_t>(record.kind), 1);
  PutNumber(body, record.path.size(), 2);
  for (const std::string& step : record.path) PutText(body, step);
  PutText(body, record.value.name);
  PutNumber(body, record.value.type, 4);
  PutText(body, std::string_view(reinterpret_cast<const char*>(record.value.data.data()), record.value.data.size()));
  std::string out;
  PutNumber(out, body.size(), 4);
  PutNumber(out, Crc32(body), 4);
  return out + body;
}

void ApplyRecord(const JournalRecord& record, StoredKey& root) {
  const std::vector<std::string>& path = record.path;
  switch (record.kind) {
    case ChangeKind::CreateKey:
      KeyAt(root, path, path.size(), true);
      break;
    case ChangeKind::SetValue:
      KeyAt(root, path, path.size(), true)->SetValue(record.value);
      break;
    case ChangeKind::DeleteValue:
      if (StoredKey* key = KeyAt(root, path, path.size(), false)) key->DeleteValue(record.value.name);
      break;
    case ChangeKind::DeleteKey:
      if (path.empty()) break;
      if (StoredKey* above = KeyAt(root, path, path.size() - 1, false)) above->DeleteSubkey(path.back());
      break;
  }
}

JournalScan ApplyRecords(std::string_view bytes, StoredKey& root) {
  JournalScan scan;
  auto fail = [&](std::string why) {
    scan.damaged = true;
    scan.damage = std::move(why);
    return scan;
  };
  while (scan.used < bytes.size()) {
    std::string_view rest = bytes.substr(scan.used);
    if (rest.size() < kRecordHead) return fail("a record is cut short in its length");
    uint64_t length = NumberAt(rest, 0, 4);
    if (length == 0 || length > kLongestRecord) return fail("a record has an impossible length");
    if (rest.size() - kRecordHead < length) return fail("a record is cut short");
    std::string_view body = rest.substr(kRecordHead, length);
    if (Crc32(body) != NumberAt(rest, 4, 4)) return fail("a record's checksum does not match");
    JournalRecord record;
    if (!DecodeBody(body, record)) return fail("a record cannot be read");
    ApplyRecord(record, root);
    scan.used += kRecordHead + length;
    ++scan.records;
  }
  return scan;
}

}  // namespace tav::regstore
