#include "tables/DbfFile.h"

#include "tables/FileOps.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "tables/ByteOrder.h"
#include "tables/TableFault.h"

namespace qp::tables {

using namespace bytes;

namespace {

constexpr int kPageShift = 12; // 4 KiB cache pages: a miss costs one small read
constexpr int64_t kPageSize = int64_t(1) << kPageShift;
constexpr size_t kCachePages = 2048; // 8 MiB at most
constexpr size_t kScanChunk = 1 << 20;
constexpr unsigned char kEndOfFile = 0x1A;
constexpr unsigned char kCodePage1252 = 0x03;

void TodayYmd(unsigned char ymd[3]) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    ymd[0] = static_cast<unsigned char>(local.tm_year % 100);
    ymd[1] = static_cast<unsigned char>(local.tm_mon + 1);
    ymd[2] = static_cast<unsigned char>(local.tm_mday);
}

bool HasMemo(const std::vector<FieldInfo>& fields) {
    for (const auto& f : fields) {
        if (f.type == 'M')
            return true;
    }
    return false;
}

} // namespace

std::string DbfFile::FieldProblem(const FieldInfo& f) {
    if (f.name.empty() || f.name.size() > 10)
        return "field name \"" + f.name + "\" must have 1 to 10 characters";
    for (char c : f.name) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            return "field name \"" + f.name + "\" may hold only letters, digits and '_'";
    }
    switch (f.type) {
    case 'C':
        if (f.width < 1 || f.width > 254)
            return "character field " + f.name + " needs a width of 1 to 254";
        break;
    case 'N':
        if (f.width < 1 || f.width > 20 || f.decimals < 0 ||
            (f.decimals > 0 && f.decimals > f.width - 2))
            return "numeric field " + f.name + " needs a width of 1 to 20 and fitting decimals";
        break;
    case 'L':
        if (f.width != 1)
            return "logical field " + f.name + " must have width 1";
        break;
    case 'D':
        if (f.width != 8)
            return "date field " + f.name + " must have width 8";
        break;
    case 'M':
        if (f.width != 10)
            return "memo field " + f.name + " must have width 10";
        break;
    default:
        return "field " + f.name + " has unknown type '" + std::string(1, f.type) + "'";
    }
    return {};
}

void DbfFile::Create(const std::string& path, const std::vector<FieldInfo>& fields) {
    if (fields.empty())
        throw TableFault(tbeBadArgument, "Cannot create " + path + ": the table has no fields");
    if (fields.size() > 255)
        throw TableFault(tbeBadArgument, "Cannot create " + path + ": too many fields");
    int recordLength = 1;
    for (const auto& f : fields) {
        std::string problem = FieldProblem(f);
        if (!problem.empty())
            throw TableFault(tbeBadArgument, "Cannot create " + path + ": " + problem);
        recordLength += f.width;
    }
    if (recordLength > 65500)
        throw TableFault(tbeBadArgument, "Cannot create " + path + ": records too long");
    int headerLength = 32 + 32 * int(fields.size()) + 1;
    std::vector<unsigned char> data(headerLength + 1, 0);
    data[0] = HasMemo(fields) ? 0xF5 : 0x03;
    TodayYmd(&data[1]);
    PutLE32(&data[4], 0);
    PutLE16(&data[8], headerLength);
    PutLE16(&data[10], recordLength);
    data[29] = kCodePage1252;
    int offset = 1;
    for (size_t i = 0; i < fields.size(); ++i) {
        unsigned char* d = &data[32 + 32 * i];
        for (size_t k = 0; k < fields[i].name.size(); ++k)
            d[k] = static_cast<unsigned char>(std::toupper(fields[i].name[k]));
        d[11] = static_cast<unsigned char>(fields[i].type);
        PutLE32(d + 12, offset);
        d[16] = static_cast<unsigned char>(fields[i].width);
        d[17] = static_cast<unsigned char>(fields[i].decimals);
        offset += fields[i].width;
    }
    data[headerLength - 1] = 0x0D;
    data[headerLength] = kEndOfFile;

    FileOps::ReplaceFile(path, std::string(data.begin(), data.end()));
}

DbfFile::DbfFile(const std::string& path, EngineFile::Access access)
    : file_(std::make_unique<EngineFile>("Table", path, access, EngineFile::Lock::kForUse)),
      cache_(kCachePages) {
    ReadHeader();
    if (file_->Writable())
        window_ = std::make_unique<AppendWindow>(*file_, file_->Size());
}

DbfFile::~DbfFile() = default;

void DbfFile::Fail(TableError code, const std::string& what) const {
    file_->Fail(code, what);
}

void DbfFile::ReadHeader() {
    const int64_t fileSize = file_->Size();
    if (fileSize < 32 + 32 + 1)
        Fail(tbeCorrupt, "file too short for a table header");
    std::vector<unsigned char> head(32);
    file_->ReadAt(0, head.data(), 32);
    version_ = head[0];
    if (version_ != 0x03 && version_ != 0xF5)
        Fail(tbeCorrupt, "not a FoxPro 2 table (version byte " + std::to_string(version_) + ")");
    std::memcpy(date_, &head[1], 3);
    recordCount_ = GetLE32(&head[4]);
    headerLength_ = int(GetLE16(&head[8]));
    recordLength_ = int(GetLE16(&head[10]));
    flags_ = head[28];
    codePage_ = head[29];
    if (headerLength_ < 32 + 32 + 1 || headerLength_ > fileSize)
        Fail(tbeCorrupt, "wrong header length " + std::to_string(headerLength_));
    if (recordLength_ < 2)
        Fail(tbeCorrupt, "wrong record length " + std::to_string(recordLength_));
    std::vector<unsigned char> header(headerLength_);
    file_->ReadAt(0, header.data(), header.size());
    ReadFieldDescriptors(header);
    int64_t needed = int64_t(headerLength_) + int64_t(recordCount_) * recordLength_;
    if (needed > fileSize) {
        // Only the last record may be missing: the count was written, the record was not.
        if (recordCount_ == 0 || needed - recordLength_ > fileSize)
            Fail(tbeCorrupt, "record count " + std::to_string(recordCount_) +
                                 " goes beyond the end of the file");
        cutRecord_ = recordCount_;
        --recordCount_;
        countRepaired_ = false;
    }
    if (version_ == 0x03 && HasMemoFields())
        Fail(tbeCorrupt, "memo fields in a table marked as having no memo file");
}

void DbfFile::ReadFieldDescriptors(const std::vector<unsigned char>& header) {
    int offset = 1;
    size_t pos = 32;
    for (; pos + 32 <= header.size() && header[pos] != 0x0D; pos += 32) {
        const unsigned char* d = &header[pos];
        FieldInfo f;
        size_t nameLength = 0;
        while (nameLength < 11 && d[nameLength] != 0)
            ++nameLength;
        f.name.assign(reinterpret_cast<const char*>(d), nameLength);
        for (auto& c : f.name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        f.type = static_cast<char>(std::toupper(d[11]));
        f.width = d[16];
        f.decimals = d[17];
        if (f.type == 'F')
            f.type = 'N';
        f.offset = offset;
        std::string problem = FieldProblem(f);
        if (!problem.empty())
            Fail(tbeCorrupt, "bad field descriptor: " + problem);
        offset += f.width;
        fields_.push_back(f);
    }
    if (pos >= header.size() || header[pos] != 0x0D)
        Fail(tbeCorrupt, "field descriptors do not end within the header");
    if (fields_.empty())
        Fail(tbeCorrupt, "the table has no fields");
    if (offset != recordLength_)
        Fail(tbeCorrupt, "record length " + std::to_string(recordLength_) +
                             " does not match the fields (" + std::to_string(offset) + ")");
}

bool DbfFile::HasMemoFields() const {
    return HasMemo(fields_);
}

std::string DbfFile::LastUpdate() const {
    int year = date_[0] < 100 ? 2000 + date_[0] : 1900 + date_[0];
    if (date_[0] >= 80 && date_[0] < 100)
        year = 1900 + date_[0];
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, date_[1], date_[2]);
    return text;
}

void DbfFile::WriteAt(int64_t offset, const void* data, size_t length) {
    RepairCount();
    changed_ = true;
    UpdateCache(offset, data, length);
    if (WriteHeld(offset, data, length))
        return;
    file_->WriteAt(offset, data, length);
    if (window_ && offset + int64_t(length) > window_->FileSize())
        window_->NoteSize(offset + int64_t(length));
}

bool DbfFile::WriteHeld(int64_t offset, const void* data, size_t length) {
    unsigned char* at = window_ ? window_->Held(offset, offset + int64_t(length)) : nullptr;
    if (!at)
        return false;
    std::memcpy(at, data, length);
    return true;
}

void DbfFile::CutTo(int64_t size) {
    file_->Truncate(size);
    if (window_)
        window_->NoteSize(size);
}

void DbfFile::RepairCount() {
    if (countRepaired_)
        return;
    file_->RequireWritable();
    countRepaired_ = true;
    try {
        const int64_t end = headerLength_ + int64_t(recordCount_) * recordLength_;
        const unsigned char marker = kEndOfFile;
        CutTo(end);
        WriteAt(end, &marker, 1);
        WriteRecordCount();
    } catch (...) {
        countRepaired_ = false;
        throw;
    }
}

const unsigned char* DbfFile::CachedPage(int64_t page, size_t& valid) {
    CachePage& slot = cache_[size_t(page) % kCachePages];
    if (slot.page != page) {
        slot.data.resize(kPageSize);
        slot.page = -1;
        slot.valid = file_->ReadUpTo(page << kPageShift, slot.data.data(), size_t(kPageSize));
        slot.page = page;
    }
    valid = slot.valid;
    return slot.data.data();
}

void DbfFile::UpdateCache(int64_t offset, const void* data, size_t length) {
    const auto* in = static_cast<const unsigned char*>(data);
    int64_t end = offset + int64_t(length);
    for (int64_t page = offset >> kPageShift; page <= (end - 1) >> kPageShift; ++page) {
        CachePage& slot = cache_[size_t(page) % kCachePages];
        if (slot.page != page)
            continue;
        int64_t pageStart = page << kPageShift;
        int64_t from = std::max(offset, pageStart);
        int64_t to = std::min(end, pageStart + kPageSize);
        std::memcpy(slot.data.data() + (from - pageStart), in + (from - offset), size_t(to - from));
        slot.valid = std::max(slot.valid, size_t(to - pageStart));
    }
}

void DbfFile::ReadRecord(long recno, std::string& out, bool keepPage) {
    if (recno < 1 || recno > recordCount_)
        Fail(tbeNoRecord, "no record " + std::to_string(recno));
    int64_t offset = headerLength_ + int64_t(recno - 1) * recordLength_;
    out.resize(size_t(recordLength_));
    if (const unsigned char* held =
            window_ ? window_->Held(offset, offset + recordLength_) : nullptr) {
        std::memcpy(out.data(), held, size_t(recordLength_));
        return;
    }
    int64_t page = offset >> kPageShift;
    if (keepPage && ((offset + recordLength_ - 1) >> kPageShift) == page) {
        size_t valid = 0;
        const unsigned char* data = CachedPage(page, valid);
        size_t inPage = size_t(offset - (page << kPageShift));
        if (inPage + size_t(recordLength_) <= valid) {
            std::memcpy(out.data(), data + inPage, size_t(recordLength_));
            return;
        }
    }
    file_->ReadAt(offset, out.data(), out.size());
}

void DbfFile::WriteRecord(long recno, const std::string& record) {
    if (recno < 1 || recno > recordCount_)
        Fail(tbeNoRecord, "no record " + std::to_string(recno));
    if (int(record.size()) != recordLength_)
        Fail(tbeBadArgument, "record of " + std::to_string(record.size()) +
                                 " bytes, the table needs " + std::to_string(recordLength_));
    WriteAt(headerLength_ + int64_t(recno - 1) * recordLength_, record.data(), record.size());
}

void DbfFile::WriteRecordPart(long recno, int offset, const char* bytes, size_t length) {
    if (recno < 1 || recno > recordCount_)
        Fail(tbeNoRecord, "no record " + std::to_string(recno));
    if (offset < 0 || size_t(offset) + length > size_t(recordLength_))
        Fail(tbeBadArgument, "bytes past the end of the record");
    WriteAt(headerLength_ + int64_t(recno - 1) * recordLength_ + offset, bytes, length);
}

long DbfFile::AppendRecord(const std::string& record) {
    if (int(record.size()) != recordLength_)
        Fail(tbeBadArgument, "record of " + std::to_string(record.size()) +
                                 " bytes, the table needs " + std::to_string(recordLength_));
    if (recordCount_ >= 0x7FFFFFFE)
        Fail(tbeBadArgument, "the table is full");
    RepairCount();
    const int64_t offset = headerLength_ + int64_t(recordCount_) * recordLength_;
    unsigned char* at = window_ ? window_->Reserve(offset, offset + recordLength_ + 1) : nullptr;
    unsigned char* head = at ? window_->Head(size_t(headerLength_)) : nullptr;
    if (!head) {
        std::string data = record;
        data += char(kEndOfFile);
        WriteAt(offset, data.data(), data.size());
        ++recordCount_;
        WriteRecordCount();
        return recordCount_;
    }
    changed_ = true;
    std::memcpy(at, record.data(), size_t(recordLength_));
    at[recordLength_] = kEndOfFile;
    UpdateCache(offset, at, size_t(recordLength_) + 1);
    // The record is in the file before the count that takes it in.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    ++recordCount_;
    PutLE32(head + 4, uint32_t(recordCount_));
    UpdateCache(4, head + 4, 4);
    // The next record's place is fetched into the processor's cache while this one is
    // filled in: the file's new pages are cold, and each store into them would wait.
    for (int b = 0; b <= recordLength_; b += 64)
        __builtin_prefetch(at + recordLength_ + b, 1, 3);
    return recordCount_;
}

void DbfFile::ReadDeletedMarks(std::vector<bool>& marks) {
    marks.assign(size_t(recordCount_) + 1, false);
    const size_t perChunk = std::max<size_t>(1, kScanChunk / size_t(recordLength_));
    std::vector<unsigned char> chunk(perChunk * size_t(recordLength_));
    for (long first = 1; first <= recordCount_; first += long(perChunk)) {
        long count = std::min<long>(long(perChunk), recordCount_ - first + 1);
        file_->ReadAt(headerLength_ + int64_t(first - 1) * recordLength_, chunk.data(),
                      size_t(count) * size_t(recordLength_));
        for (long i = 0; i < count; ++i)
            marks[size_t(first + i)] = chunk[size_t(i) * size_t(recordLength_)] == '*';
    }
}

void DbfFile::DropRecordsAfter(long recno) {
    if (recno < 0 || recno >= recordCount_)
        return;
    const int64_t end = headerLength_ + int64_t(recno) * recordLength_;
    const unsigned char marker = kEndOfFile;
    recordCount_ = recno;
    WriteRecordCount();
    CutTo(end);
    WriteAt(end, &marker, 1);
    for (auto& slot : cache_) {
        if (slot.page >= 0 && (slot.page << kPageShift) + int64_t(slot.valid) > end)
            slot.page = -1;
    }
}

std::string DbfFile::BlankRecord() const {
    return std::string(size_t(recordLength_), ' ');
}

void DbfFile::WriteRecordCount() {
    unsigned char count[4];
    PutLE32(count, uint32_t(recordCount_));
    if (unsigned char* head = window_ ? window_->Head(size_t(headerLength_)) : nullptr) {
        changed_ = true;
        std::memcpy(head + 4, count, 4);
        UpdateCache(4, count, 4);
        return;
    }
    WriteAt(4, count, 4);
}

void DbfFile::SetIndexFlag(bool on) {
    int flags = on ? (flags_ | 0x01) : (flags_ & ~0x01);
    if (flags == flags_)
        return;
    flags_ = flags;
    unsigned char byte = static_cast<unsigned char>(flags_);
    WriteAt(28, &byte, 1);
}

void DbfFile::Flush() {
    if (!changed_)
        return;
    unsigned char today[3];
    TodayYmd(today);
    if (std::memcmp(today, date_, 3) != 0) {
        std::memcpy(date_, today, 3);
        WriteAt(1, date_, 3);
    }
    if (window_)
        window_->Finish(headerLength_ + int64_t(recordCount_) * recordLength_ + 1);
    file_->Sync();
    changed_ = false;
}

std::string DbfFile::HeaderBytes() {
    std::string header(size_t(headerLength_), '\0');
    file_->ReadAt(0, header.data(), header.size());
    return header;
}

void DbfFile::WriteCopy(const std::string& path, std::string header, const std::string& records,
                        long count) {
    PutLE32(reinterpret_cast<unsigned char*>(header.data()) + 4, uint32_t(count));
    std::string data = std::move(header);
    data += records;
    data += char(kEndOfFile);
    FileOps::WriteWholeFile(path, data);
}

} // namespace qp::tables
