#include "tables/WorkArea.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "tables/CdxWriter.h"
#include "tables/DbfFile.h"
#include "tables/FileOps.h"
#include "tables/MemoFile.h"
#include "tables/ReplacementJournal.h"
#include "tables/TableFault.h"

namespace qp::tables {

namespace fs = std::filesystem;

namespace {

constexpr char kNotDeleted[] = ".NOT.DELETED()";

std::string Upper(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Companion(const std::string& path, const std::string& ext) {
    fs::path p(path);
    std::string own = p.extension().string();
    bool lower = !own.empty() && std::islower(static_cast<unsigned char>(own.back()));
    std::string lowerExt = ext;
    for (auto& c : lowerExt)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    fs::path preferred = p, other = p;
    preferred.replace_extension(lower ? lowerExt : ext);
    other.replace_extension(lower ? ext : lowerExt);
    std::error_code ec;
    if (!fs::exists(preferred, ec) && fs::exists(other, ec))
        return other.string();
    return preferred.string();
}

// Julian day number of a "YYYYMMDD" date; 0 for a blank or invalid date.
double JulianDay(const std::string& date) {
    if (date.size() != 8 || !std::all_of(date.begin(), date.end(), ::isdigit))
        return 0;
    int y = std::stoi(date.substr(0, 4)), m = std::stoi(date.substr(4, 2)),
        d = std::stoi(date.substr(6, 2));
    int a = (14 - m) / 12;
    int yy = y + 4800 - a;
    int mm = m + 12 * a - 3;
    return double(d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045);
}

// A number as an 8-byte key that sorts as unsigned bytes: the IEEE double in big-endian
// order, top bit flipped for values >= 0, every bit inverted for negative values.
std::string NumberKey(double value) {
    if (value == 0)
        value = 0; // -0 sorts as +0
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    bits = value < 0 ? ~bits : bits | (uint64_t(1) << 63);
    std::string key(8, '\0');
    for (int i = 0; i < 8; ++i)
        key[size_t(i)] = static_cast<char>(bits >> (8 * (7 - i)));
    return key;
}

} // namespace

std::string WorkArea::CompanionPath(const std::string& tablePath, const std::string& ext) {
    return Companion(tablePath, ext);
}

WorkArea::WorkArea(const std::string& path, const Environment& env, IndexMode mode)
    : path_(path), env_(env) {
    RecoverInterruptedPack();
    OpenFiles();
    OpenIndex(mode);
    GoTop();
}

WorkArea::~WorkArea() {
    try {
        Commit();
    } catch (...) {
        // Closing must not throw; an index left stale is rebuilt at the next open.
    }
}

void WorkArea::Fail(TableError code, const std::string& what) const {
    throw TableFault(code, "Table " + path_ + ": " + what);
}

std::string WorkArea::MemoPath() const {
    return Companion(path_, ".FPT");
}
std::string WorkArea::IndexPath() const {
    return Companion(path_, ".CDX");
}

std::string WorkArea::JournalPath() const {
    return path_ + ".journal";
}

void WorkArea::RecoverInterruptedPack() {
    const std::vector<std::string> targets = {path_, MemoPath(), IndexPath()};
    bool traces = FileOps::Exists(JournalPath());
    for (const auto& target : targets)
        traces = traces || FileOps::Exists(ReplacementJournal::ReplacementOf(target));
    if (!traces)
        return;
    // Only while no other program uses the table: it may be packing right now.
    EngineFile lock("Table", path_, EngineFile::Access::kReadOnly, EngineFile::Lock::kSole);
    try {
        ReplacementJournal::Recover(JournalPath(), targets);
    } catch (const TableFault& fault) {
        throw TableFault(fault.Code(),
                         "Table " + path_ +
                             ": an interrupted pack cannot be completed: " + fault.what());
    }
}

void WorkArea::OpenFiles() {
    dbf_ = std::make_unique<DbfFile>(path_);
    memo_.reset();
    if (dbf_->HasMemoFields()) {
        std::string memoPath = MemoPath();
        std::error_code ec;
        if (!fs::exists(memoPath, ec))
            Fail(tbeOpenFailed, "its memo file " + memoPath + " is missing");
        memo_ = std::make_unique<MemoFile>(memoPath, dbf_->Writable()
                                                         ? EngineFile::Access::kReadWriteIfAllowed
                                                         : EngineFile::Access::kReadOnly);
    }
    const std::string index = IndexPath();
    writable_ = dbf_->Writable() && (!memo_ || memo_->Writable()) &&
                (!FileOps::Exists(index) || FileOps::MayWrite(index));
    text_ = &CodePage::ForMark(dbf_->CodePageMark());
    if (dbf_->CutRecord() != 0)
        notes_.push_back("Table " + path_ + ": record " + std::to_string(dbf_->CutRecord()) +
                         " was cut short (the table was not closed properly while it was " +
                         "being added) and has been left out");
    LoadDeletedMarks();
    recordRecno_ = 0;
}

void WorkArea::BeginChange() {
    if (!writable_)
        Fail(tbeReadOnly, "the table is open for reading only (its files may not be written)");
    if (!cdx_ || indexMarkedStale_)
        return;
    cdx_->MarkStale(true);
    indexMarkedStale_ = true;
}

void WorkArea::LoadDeletedMarks() {
    dbf_->ReadDeletedMarks(deletedMarks_);
    deletedCount_ = long(std::count(deletedMarks_.begin(), deletedMarks_.end(), true));
}

std::unique_ptr<WorkArea::IndexTagState> WorkArea::MakeTag(const CdxTagHeader& header) const {
    auto tag = std::make_unique<IndexTagState>();
    tag->header = header;
    tag->header.name = Upper(header.name);
    tag->key = Expression::Compile(header.keyExpr, dbf_->Fields());
    if (!header.forExpr.empty()) {
        tag->condition = Expression::Compile(header.forExpr, dbf_->Fields());
        if (tag->condition->ResultType() != 'L')
            throw TableFault(tbeBadExpression,
                             "Condition \"" + header.forExpr + "\" is not a logical expression");
    }
    int keyLength = 0;
    switch (tag->key->ResultType()) {
    case 'C':
        keyLength = tag->key->ResultWidth();
        tag->pad = ' ';
        break;
    case 'D':
    case 'N':
        keyLength = 8;
        tag->pad = '\0';
        break;
    case 'L':
        keyLength = 1;
        tag->pad = ' ';
        break;
    default:
        break;
    }
    if (keyLength < 1 || keyLength > 240)
        throw TableFault(tbeBadExpression, "Key \"" + header.keyExpr + "\" gives keys of " +
                                               std::to_string(keyLength) +
                                               " bytes; 1 to 240 are possible");
    tag->header.keyLength = keyLength;
    return tag;
}

void WorkArea::OpenIndex(IndexMode mode) {
    std::string cdxPath = IndexPath();
    std::error_code ec;
    if (!fs::exists(cdxPath, ec))
        return;
    bool rebuild = mode == IndexMode::kRepair;
    try {
        cdx_ = std::make_unique<CdxFile>(cdxPath, writable_);
        if (!rebuild && (cdx_->FoundStale() || dbf_->CutRecord() != 0)) {
            // The table took changes the index may lack: every tag is rebuilt from it.
            rebuild = true;
            notes_.push_back("Index " + cdxPath + " was behind its table (the table was not " +
                             "closed properly) and has been rebuilt");
        }
        for (size_t i = 0; i < cdx_->TagCount(); ++i) {
            const CdxTagHeader& header = cdx_->Header(i);
            std::unique_ptr<IndexTagState> tag;
            try {
                tag = MakeTag(header);
            } catch (const TableFault& fault) {
                throw TableFault(tbeCorrupt,
                                 "Index " + cdxPath + ": tag " + header.name + ": " + fault.what());
            }
            if (tag->header.keyLength != header.keyLength)
                throw TableFault(tbeCorrupt, "Index " + cdxPath + ": tag " + header.name +
                                                 " has keys of " +
                                                 std::to_string(header.keyLength) +
                                                 " bytes, its expression gives " +
                                                 std::to_string(tag->header.keyLength));
            if (!rebuild) {
                tag->tree = &cdx_->LoadTree(i, tag->pad);
                uint32_t highest = tag->tree->HighestRecnoRead();
                if (highest > uint32_t(dbf_->RecordCount()))
                    throw TableFault(tbeCorrupt, "Index " + cdxPath + ": tag " + header.name +
                                                     " lists record " + std::to_string(highest) +
                                                     " of a table with " +
                                                     std::to_string(dbf_->RecordCount()));
                // Records appended after the index was last written (by a program that
                // does not keep it): the tags are rebuilt.
                for (long r = long(highest) + 1; r <= dbf_->RecordCount() && !rebuild; ++r) {
                    ReadRecordInto(r, scratch_);
                    rebuild = IsMember(*tag, scratch_);
                }
            }
            tags_.push_back(std::move(tag));
        }
    } catch (const TableFault& fault) {
        tags_.clear();
        cdx_.reset();
        if (mode == IndexMode::kStrict)
            throw;
        notes_.push_back(std::string(fault.what()) + "; its tags could not be recovered");
        if (writable_)
            fs::remove(cdxPath, ec);
        return;
    }
    if (rebuild)
        RewriteIndex();
}

void WorkArea::OpenTrees(const std::string& path, bool writable) {
    cdx_.reset();
    cdx_ = std::make_unique<CdxFile>(path, writable);
    for (size_t i = 0; i < tags_.size(); ++i)
        tags_[i]->tree = &cdx_->LoadTree(i, tags_[i]->pad);
}

void WorkArea::RewriteIndex() {
    std::vector<KeyList> keys;
    for (const auto& tag : tags_)
        keys.push_back(BuildKeys(*tag));
    std::vector<CdxWriter::Tag> written;
    for (size_t i = 0; i < tags_.size(); ++i)
        written.push_back(CdxWriter::Tag{tags_[i]->header, &keys[i], tags_[i]->pad});
    const std::string cdxPath = IndexPath();
    std::string privateCopy;
    if (!writable_) {
        // A table we may not write: its rebuilt index lives in a private file of its own.
        const char* base = std::getenv("TMPDIR");
        privateCopy = std::string(base && *base ? base : "/tmp") + "/qp-index-XXXXXX";
        int fd = ::mkstemp(privateCopy.data());
        if (fd < 0)
            FileOps::Fail("create", privateCopy, errno);
        ::close(fd);
        try {
            CdxWriter::WriteInPlace(privateCopy, written);
        } catch (...) {
            ::unlink(privateCopy.c_str());
            throw;
        }
    } else if (FileOps::MayWrite(FileOps::FolderOf(cdxPath))) {
        CdxWriter::Write(cdxPath, written); // beside the old one, then renamed over it
    } else {
        // A folder we may not add files to: the file is rewritten where it is.
        cdx_.reset();
        try {
            CdxWriter::WriteInPlace(cdxPath, written);
        } catch (...) {
            tags_.clear();
            throw;
        }
    }
    // The new file replaces the old one; what the old one held in memory goes with it.
    pending_.clear();
    for (auto& tag : tags_)
        tag->tree = nullptr;
    try {
        if (privateCopy.empty()) {
            dbf_->SetIndexFlag(true);
            OpenTrees(cdxPath, true);
        } else {
            OpenTrees(privateCopy, false);
            ::unlink(privateCopy.c_str());
        }
    } catch (...) {
        if (!privateCopy.empty())
            ::unlink(privateCopy.c_str());
        cdx_.reset();
        tags_.clear();
        throw;
    }
    indexDirty_ = false;
    indexMarkedStale_ = false;
    posValid_ = false;
}

bool WorkArea::IsMember(const IndexTagState& tag, const std::string& record) const {
    return !tag.condition || tag.condition->IsTrue(record);
}

std::string WorkArea::MakeKey(const IndexTagState& tag, const std::string& record) const {
    ExprValue v = tag.key->Evaluate(record);
    switch (v.type) {
    case 'C': {
        std::string key = v.text;
        key.resize(size_t(tag.header.keyLength), ' ');
        return key;
    }
    case 'D':
        return NumberKey(JulianDay(v.text));
    case 'N':
        return NumberKey(v.number);
    case 'L':
        return v.logical ? "T" : "F";
    default:
        return std::string(size_t(tag.header.keyLength), ' ');
    }
}

KeyList WorkArea::BuildKeys(const IndexTagState& tag) {
    std::vector<std::pair<std::string, uint32_t>> entries;
    entries.reserve(size_t(dbf_->RecordCount()));
    for (long r = 1; r <= dbf_->RecordCount(); ++r) {
        ReadRecordInto(r, scratch_);
        if (IsMember(tag, scratch_))
            entries.emplace_back(MakeKey(tag, scratch_), uint32_t(r));
    }
    KeyList keys(tag.header.keyLength);
    SortedKeys(entries, tag.header.unique, keys);
    return keys;
}

void WorkArea::SortedKeys(std::vector<std::pair<std::string, uint32_t>>& entries, bool unique,
                          KeyList& keys) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    keys.Clear();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (unique && i > 0 && entries[i].first == entries[i - 1].first)
            continue;
        keys.PushBack(entries[i].first, entries[i].second);
    }
}

void WorkArea::UpdateTags(uint32_t recno, const std::string& before, const std::string& after) {
    for (auto& tag : tags_) {
        bool wasIn = IsMember(*tag, before), isIn = IsMember(*tag, after);
        std::string oldKey = wasIn ? MakeKey(*tag, before) : std::string();
        std::string newKey = isIn ? MakeKey(*tag, after) : std::string();
        if (wasIn == isIn && oldKey == newKey)
            continue;
        if (wasIn && tag->tree->Remove(oldKey, recno) && tag->header.unique)
            RelistUniqueKey(*tag, oldKey, recno);
        if (isIn)
            InsertKey(*tag, newKey, recno);
        indexDirty_ = true;
    }
}

void WorkArea::AddToTags(uint32_t recno, const std::string& record) {
    for (auto& tag : tags_) {
        if (IsMember(*tag, record)) {
            InsertKey(*tag, MakeKey(*tag, record), recno);
            indexDirty_ = true;
        }
    }
}

void WorkArea::RemoveFromTags(uint32_t recno, const std::string& record) {
    for (auto& tag : tags_) {
        if (!IsMember(*tag, record))
            continue;
        std::string key = MakeKey(*tag, record);
        if (tag->tree->Remove(key, recno) && tag->header.unique)
            RelistUniqueKey(*tag, key, recno);
        indexDirty_ = true;
    }
}

void WorkArea::InsertKey(IndexTagState& tag, const std::string& key, uint32_t recno) {
    if (tag.header.unique) {
        // A unique tag lists the lowest record number of each key.
        long pos = tag.tree->LowerBound(key, 0);
        if (pos < tag.tree->Size() && tag.tree->KeyAt(pos) == key) {
            uint32_t listed = tag.tree->RecnoAt(pos);
            if (listed < recno)
                return;
            tag.tree->Remove(key, listed);
        }
    }
    tag.tree->Insert(key, recno);
}

void WorkArea::RelistUniqueKey(IndexTagState& tag, const std::string& key, uint32_t except) {
    for (long r = 1; r <= RecCount(); ++r) {
        if (uint32_t(r) == except)
            continue;
        dbf_->ReadRecord(r, scratch_);
        if (IsMember(tag, scratch_) && MakeKey(tag, scratch_) == key) {
            tag.tree->Insert(key, uint32_t(r));
            return;
        }
    }
}

void WorkArea::WriteIndex() {
    if (tags_.empty()) {
        cdx_.reset();
        std::error_code ec;
        fs::remove(IndexPath(), ec);
        dbf_->SetIndexFlag(false);
    } else {
        SyncTags();
        cdx_->Flush();
        dbf_->SetIndexFlag(true);
    }
    indexDirty_ = false;
    indexMarkedStale_ = false;
}

void WorkArea::NoteChange(uint32_t recno, const std::string* before) {
    if (tags_.empty() || (!pending_.empty() && pending_.back().recno == recno))
        return; // the tags still know it as it was before its first change
    for (const auto& p : pending_) {
        if (p.recno == recno)
            return;
    }
    pending_.push_back({recno, before == nullptr, before ? *before : std::string()});
    indexDirty_ = true;
    if (pending_.size() > 32)
        SyncTags();
}

void WorkArea::SyncTags() {
    if (pending_.empty())
        return;
    std::vector<PendingKeys> changed;
    changed.swap(pending_);
    std::string now;
    for (const auto& p : changed) {
        ReadRecordInto(long(p.recno), now, false);
        if (p.appended)
            AddToTags(p.recno, now);
        else
            UpdateTags(p.recno, p.before, now);
    }
    // The list's room is kept for the changes to come.
    changed.clear();
    if (pending_.empty())
        pending_.swap(changed);
}

void WorkArea::ReadRecordInto(long recno, std::string& out, bool keepPage) {
    if (recno == recordRecno_) {
        out = record_;
        return;
    }
    dbf_->ReadRecord(recno, out, keepPage);
}

void WorkArea::StoreRecord(long recno, const std::string& record) {
    dbf_->WriteRecord(recno, record);
    bool deleted = record[0] == '*';
    if (bool(deletedMarks_[size_t(recno)]) != deleted) {
        deletedMarks_[size_t(recno)] = deleted;
        deletedCount_ += deleted ? 1 : -1;
    }
    record_ = record;
    recordRecno_ = recno;
}

// ---- Records and navigation -------------------------------------------------------

long WorkArea::RecCount() const {
    return dbf_->RecordCount();
}

bool WorkArea::HasRecord() const {
    return !eof_ && recno_ >= 1 && recno_ <= RecCount();
}

bool WorkArea::Deleted() const {
    return HasRecord() && deletedMarks_[size_t(recno_)];
}

void WorkArea::Go(long recno) {
    if (recno < 1 || recno > RecCount())
        Fail(tbeNoRecord, "there is no record " + std::to_string(recno));
    recno_ = recno;
    bof_ = eof_ = false;
    posValid_ = false;
}

long WorkArea::OrderSize() const {
    return activeTag_ ? tags_[size_t(activeTag_ - 1)]->tree->Size() : RecCount();
}

uint32_t WorkArea::RecnoAt(long pos) const {
    if (!activeTag_)
        return uint32_t(pos + 1);
    const auto& tag = *tags_[size_t(activeTag_ - 1)];
    return tag.tree->RecnoAt(tag.header.descending ? tag.tree->Size() - 1 - pos : pos);
}

WorkArea::Anchor WorkArea::CurrentAnchor() {
    if (!HasRecord())
        return {OrderSize(), false};
    if (!activeTag_)
        return {recno_ - 1, true};
    auto& tag = *tags_[size_t(activeTag_ - 1)];
    if (posValid_ && posVersion_ == tag.tree->Version())
        return {pos_, true};
    const std::string& record = Record();
    std::string key = MakeKey(tag, record);
    long size = tag.tree->Size();
    if (IsMember(tag, record)) {
        long found = tag.tree->Find(key, uint32_t(recno_));
        if (found >= 0)
            return {tag.header.descending ? size - 1 - found : found, true};
    }
    long lower = tag.tree->LowerBound(key, uint32_t(recno_));
    return {tag.header.descending ? size - lower : lower, false};
}

bool WorkArea::Visible(uint32_t recno) {
    if (deletedCount_ > 0 && (env_.deleted || queryIsNotDeleted_) && deletedMarks_[recno])
        return false;
    if (!query_ || queryIsNotDeleted_)
        return true;
    if (!query_->UsesFieldData())
        return query_->IsTrue(deletedMarks_[recno] ? "*" : " ");
    ReadRecordInto(recno, scratch_);
    return query_->IsTrue(scratch_);
}

bool WorkArea::FiltersImplied() const {
    if (query_ && !queryIsNotDeleted_)
        return false;
    bool hideDeleted = env_.deleted || queryIsNotDeleted_;
    if (!hideDeleted || deletedCount_ == 0)
        return true;
    if (!activeTag_)
        return false;
    const auto& condition = tags_[size_t(activeTag_ - 1)]->condition;
    return condition && condition->Normalized() == kNotDeleted;
}

long WorkArea::NextVisible(long from, bool forward) {
    long size = OrderSize();
    for (long p = from; p >= 0 && p < size; p += forward ? 1 : -1) {
        if (Visible(RecnoAt(p)))
            return p;
    }
    return -1;
}

void WorkArea::PlaceAt(long pos) {
    recno_ = long(RecnoAt(pos));
    bof_ = eof_ = false;
    pos_ = pos;
    posValid_ = activeTag_ != 0;
    if (activeTag_)
        posVersion_ = tags_[size_t(activeTag_ - 1)]->tree->Version();
}

void WorkArea::PlaceAtEnd() {
    recno_ = RecCount() + 1;
    eof_ = true;
    bof_ = false;
    posValid_ = false;
}

void WorkArea::GoTop() {
    SyncTags();
    long p = NextVisible(0, true);
    if (p < 0) {
        PlaceAtEnd();
        bof_ = true;
        return;
    }
    PlaceAt(p);
}

void WorkArea::GoBottom() {
    SyncTags();
    long p = NextVisible(OrderSize() - 1, false);
    if (p < 0) {
        PlaceAtEnd();
        bof_ = true;
        return;
    }
    PlaceAt(p);
}

void WorkArea::Skip(long count) {
    SyncTags();
    if (count == 0)
        return;
    Anchor anchor = CurrentAnchor();
    long p = anchor.pos;
    bool forward = count > 0;
    long steps = forward ? count : -count;
    if (forward && anchor.exact)
        ++p;
    if (!forward)
        --p;
    long found = -1;
    for (long step = 0; step < steps; ++step) {
        found = NextVisible(p, forward);
        if (found < 0)
            break;
        p = found + (forward ? 1 : -1);
    }
    if (found >= 0) {
        PlaceAt(found);
        return;
    }
    if (forward) {
        PlaceAtEnd();
    } else {
        GoTop();
        bof_ = true;
    }
}

const std::string& WorkArea::Record() {
    if (!HasRecord())
        Fail(tbeNoRecord, "no current record");
    if (recordRecno_ != recno_) {
        dbf_->ReadRecord(recno_, record_);
        recordRecno_ = recno_;
    }
    return record_;
}

void WorkArea::AppendBlank() {
    if (blank_.size() != size_t(dbf_->RecordLength()))
        blank_ = dbf_->BlankRecord();
    AppendRecord(blank_);
}

void WorkArea::AppendRecord(const std::string& record) {
    if (int(record.size()) != dbf_->RecordLength())
        Fail(tbeBadArgument, "record of " + std::to_string(record.size()) +
                                 " bytes given, the table needs " +
                                 std::to_string(dbf_->RecordLength()));
    BeginChange();
    long recno = dbf_->AppendRecord(record);
    bool deleted = record[0] == '*';
    deletedMarks_.push_back(deleted);
    deletedCount_ += deleted ? 1 : 0;
    record_ = record;
    recordRecno_ = recno;
    NoteChange(uint32_t(recno), nullptr);
    Go(recno);
}

void WorkArea::DropRecordsAfter(long recno) {
    if (recno < 0 || recno >= RecCount())
        return;
    BeginChange();
    SyncTags();
    std::vector<std::pair<uint32_t, std::string>> dropped;
    for (long r = recno + 1; r <= RecCount(); ++r) {
        dbf_->ReadRecord(r, scratch_);
        dropped.emplace_back(uint32_t(r), scratch_);
    }
    dbf_->DropRecordsAfter(recno);
    deletedMarks_.resize(size_t(recno) + 1);
    deletedCount_ = long(std::count(deletedMarks_.begin(), deletedMarks_.end(), true));
    recordRecno_ = 0;
    for (const auto& [r, record] : dropped)
        RemoveFromTags(r, record);
    posValid_ = false;
    if (recno_ > recno)
        PlaceAtEnd();
}

void WorkArea::PutRecord(const std::string& record) {
    BeginChange();
    const std::string& before = Record();
    if (record.size() != before.size())
        Fail(tbeBadArgument, "record of " + std::to_string(record.size()) +
                                 " bytes given, the table needs " + std::to_string(before.size()));
    if (record[0] != ' ' && record[0] != '*')
        Fail(tbeBadArgument, "the record's first byte must be ' ' or '*'");
    NoteChange(uint32_t(recno_), &before);
    StoreRecord(recno_, record);
}

void WorkArea::SetDeleted(bool deleted) {
    std::string record = Record();
    record[0] = deleted ? '*' : ' ';
    PutRecord(record);
}

void WorkArea::Commit() {
    if (!dbf_)
        return;
    // The table reaches the disk before the index that describes it.
    dbf_->Flush();
    if (memo_)
        memo_->Flush();
    SyncTags();
    if (indexDirty_ && writable_) {
        WriteIndex();
    } else if (indexMarkedStale_ && cdx_) {
        cdx_->MarkStale(false);
        indexMarkedStale_ = false;
    }
}

// ---- Fields -----------------------------------------------------------------------

const std::vector<FieldInfo>& WorkArea::Fields() const {
    return dbf_->Fields();
}

int WorkArea::FieldNumber(const std::string& name) const {
    const auto& fields = Fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string& own = fields[i].name;
        if (own.size() == name.size() &&
            std::equal(own.begin(), own.end(), name.begin(),
                       [](char a, char b) { return a == (b >= 'a' && b <= 'z' ? b - 32 : b); }))
            return int(i) + 1;
    }
    return 0;
}

const FieldInfo& WorkArea::Field(int field) const {
    if (field < 1 || field > int(Fields().size()))
        Fail(tbeBadArgument, "there is no field " + std::to_string(field));
    return Fields()[size_t(field - 1)];
}

std::string WorkArea::FieldBytes(int field) {
    const FieldInfo& f = Field(field);
    return Record().substr(size_t(f.offset), size_t(f.width));
}

void WorkArea::PutFieldBytes(int field, const std::string& bytes) {
    const FieldInfo& f = Field(field);
    BeginChange();
    const std::string& record = Record();
    char value[256];
    const size_t width = size_t(f.width);
    std::memset(value, ' ', width);
    std::memcpy(value, bytes.data(), std::min(bytes.size(), width));
    NoteChange(uint32_t(recno_), &record);
    dbf_->WriteRecordPart(recno_, f.offset, value, width);
    std::memcpy(record_.data() + f.offset, value, width);
}

uint32_t WorkArea::MemoBlock(const std::string& record, const FieldInfo& field) const {
    std::string text = record.substr(size_t(field.offset), size_t(field.width));
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return 0;
    size_t last = text.find_last_not_of(' ');
    uint64_t block = 0;
    for (size_t i = first; i <= last; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            Fail(tbeCorrupt,
                 "the memo pointer of field " + field.name + " is damaged (\"" + text + "\")");
        block = block * 10 + uint64_t(text[i] - '0');
        if (block > 0xFFFFFFFFu)
            Fail(tbeCorrupt, "the memo pointer of field " + field.name + " is out of range");
    }
    return uint32_t(block);
}

std::string WorkArea::Memo(int field) {
    const FieldInfo& f = Field(field);
    if (f.type != 'M')
        Fail(tbeBadArgument, "field " + f.name + " is not a memo field");
    uint32_t block = MemoBlock(Record(), f);
    if (block == 0)
        return {};
    try {
        return memo_->Read(block);
    } catch (const TableFault& fault) {
        throw TableFault(fault.Code(), std::string(fault.what()) + " (record " +
                                           std::to_string(recno_) + ", field " + f.name + ")");
    }
}

void WorkArea::PutMemo(int field, const std::string& bytes) {
    std::string record = Record();
    StoreMemo(field, bytes, record);
    PutRecord(record);
}

void WorkArea::StoreMemo(int field, const std::string& bytes, std::string& record) {
    const FieldInfo& f = Field(field);
    if (f.type != 'M')
        Fail(tbeBadArgument, "field " + f.name + " is not a memo field");
    BeginChange();
    uint32_t block = bytes.empty() ? 0 : memo_->Write(bytes);
    char pointer[16];
    if (block == 0)
        std::snprintf(pointer, sizeof pointer, "%10s", "");
    else
        std::snprintf(pointer, sizeof pointer, "%10u", block);
    record.replace(size_t(f.offset), 10, pointer, 10);
}

// ---- Index tags ---------------------------------------------------------------------

void WorkArea::IndexTag(const std::string& name, const std::string& forExpr, bool descending,
                        bool unique, const std::string& key) {
    if (!writable_)
        Fail(tbeReadOnly, "the table is open for reading only (its files may not be written)");
    std::string tagName = Upper(name);
    if (tagName.empty() || tagName.size() > 10 ||
        !std::all_of(tagName.begin(), tagName.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        }))
        Fail(tbeBadArgument, "tag name \"" + name + "\" must be 1 to 10 letters, digits or '_'");
    CdxTagHeader header;
    header.name = tagName;
    header.keyExpr = key;
    header.forExpr = forExpr;
    header.descending = descending;
    header.unique = unique;
    if (key.size() + forExpr.size() + 2 > 512)
        Fail(tbeBadExpression, "key and condition of tag " + tagName + " are too long");
    auto tag = MakeTag(header);
    int number = TagArea(tagName);
    // The index file is written anew with the new tag; when that fails, the tags stay
    // as they were.
    std::unique_ptr<IndexTagState> replaced;
    if (number > 0) {
        replaced = std::move(tags_[size_t(number - 1)]);
        tags_[size_t(number - 1)] = std::move(tag);
    } else {
        tags_.push_back(std::move(tag));
    }
    try {
        RewriteIndex();
    } catch (...) {
        if (replaced)
            tags_[size_t(number - 1)] = std::move(replaced);
        else
            tags_.pop_back();
        throw;
    }
    if (number == 0)
        number = int(tags_.size());
    activeTag_ = number;
    posValid_ = false;
    GoTop();
}

TagInfo WorkArea::Tag(int tag) const {
    if (tag < 1 || tag > TagCount())
        Fail(tbeNoTag, "there is no tag " + std::to_string(tag));
    const auto& t = *tags_[size_t(tag - 1)];
    TagInfo info;
    info.name = t.header.name;
    info.keyExpr = t.header.keyExpr;
    info.forExpr = t.header.forExpr;
    info.descending = t.header.descending;
    info.unique = t.header.unique;
    info.keyLength = t.header.keyLength;
    char type = t.key->ResultType();
    info.keyType = type == 'D' ? 'N' : type;
    return info;
}

long WorkArea::TagKeyCount(int tag) {
    if (tag < 1 || tag > TagCount())
        Fail(tbeNoTag, "there is no tag " + std::to_string(tag));
    SyncTags();
    return tags_[size_t(tag - 1)]->tree->Size();
}

int WorkArea::TagArea(const std::string& name) const {
    std::string wanted = Upper(name);
    for (size_t i = 0; i < tags_.size(); ++i) {
        if (tags_[i]->header.name == wanted)
            return int(i) + 1;
    }
    return 0;
}

void WorkArea::SetOrder(int tag) {
    if (tag < 0 || tag > TagCount())
        Fail(tbeNoTag, "there is no tag " + std::to_string(tag));
    activeTag_ = tag;
    posValid_ = false;
}

void WorkArea::CloseIndexes() {
    SyncTags();
    if (indexDirty_ && writable_)
        WriteIndex();
    pending_.clear();
    tags_.clear();
    cdx_.reset();
    activeTag_ = 0;
    posValid_ = false;
}

void WorkArea::Reindex() {
    if (!writable_)
        Fail(tbeReadOnly, "the table is open for reading only (its files may not be written)");
    if (tags_.empty()) {
        // A damaged file that could not be read at open: nothing to rebuild from.
        return;
    }
    RewriteIndex();
}

// ---- Queries and positions ----------------------------------------------------------

void WorkArea::Query(const std::string& condition) {
    std::string trimmed = condition;
    trimmed.erase(0, trimmed.find_first_not_of(" \t"));
    if (trimmed.empty()) {
        query_.reset();
        queryIsNotDeleted_ = false;
    } else {
        auto query = Expression::Compile(condition, Fields());
        if (query->ResultType() != 'L')
            Fail(tbeBadExpression, "query \"" + condition + "\" is not a logical expression");
        queryIsNotDeleted_ = query->Normalized() == kNotDeleted;
        query_ = std::move(query);
    }
    GoTop();
}

long WorkArea::QueryRecCount() {
    SyncTags();
    if (FiltersImplied())
        return OrderSize();
    long count = 0;
    for (long p = 0, size = OrderSize(); p < size; ++p)
        count += Visible(RecnoAt(p)) ? 1 : 0;
    return count;
}

long WorkArea::KeyNo() {
    SyncTags();
    if (!HasRecord())
        return 0;
    Anchor anchor = CurrentAnchor();
    if (!anchor.exact || !Visible(uint32_t(recno_)))
        return 0;
    if (FiltersImplied())
        return anchor.pos + 1;
    long count = 0;
    for (long p = 0; p < anchor.pos; ++p)
        count += Visible(RecnoAt(p)) ? 1 : 0;
    return count + 1;
}

void WorkArea::GoKey(long position) {
    SyncTags();
    if (position < 1) {
        PlaceAtEnd();
        Fail(tbeNoRecord, "there is no position " + std::to_string(position));
    }
    if (FiltersImplied()) {
        if (position > OrderSize()) {
            PlaceAtEnd();
            Fail(tbeNoRecord, "there is no position " + std::to_string(position));
        }
        PlaceAt(position - 1);
        return;
    }
    long seen = 0;
    for (long p = 0, size = OrderSize(); p < size; ++p) {
        if (Visible(RecnoAt(p)) && ++seen == position) {
            PlaceAt(p);
            return;
        }
    }
    PlaceAtEnd();
    Fail(tbeNoRecord, "there is no position " + std::to_string(position));
}

// ---- Maintenance ----------------------------------------------------------------------

void WorkArea::Pack() {
    if (!writable_)
        Fail(tbeReadOnly, "the table is open for reading only (its files may not be written)");
    const std::string memoPath = MemoPath(), indexPath = IndexPath();
    const std::string tableTemp = ReplacementJournal::ReplacementOf(path_);
    const std::string memoTemp = ReplacementJournal::ReplacementOf(memoPath);
    const std::string indexTemp = ReplacementJournal::ReplacementOf(indexPath);
    const auto removeTemps = [&] {
        for (const auto& temp : {tableTemp, memoTemp, indexTemp})
            std::remove(temp.c_str());
    };

    // Complete new files beside the old ones, synced to disk, before anything is replaced.
    std::unique_ptr<DbfFile> newTable;
    std::unique_ptr<MemoFile> newMemo;
    std::vector<KeyList> newKeys;
    try {
        if (memo_) {
            MemoFile::Create(memoTemp, memo_->BlockSize());
            newMemo = std::make_unique<MemoFile>(memoTemp);
        }
        for (const auto& tag : tags_)
            newKeys.emplace_back(tag->header.keyLength);
        std::vector<std::vector<std::pair<std::string, uint32_t>>> entries(tags_.size());
        std::string records;
        long kept = 0;
        for (long r = 1; r <= RecCount(); ++r) {
            if (deletedMarks_[size_t(r)])
                continue;
            dbf_->ReadRecord(r, scratch_);
            for (const auto& f : Fields()) {
                if (f.type != 'M')
                    continue;
                uint32_t block = MemoBlock(scratch_, f);
                std::string text = block ? memo_->Read(block) : std::string();
                uint32_t newBlock = text.empty() ? 0 : newMemo->Write(text);
                char pointer[16];
                if (newBlock == 0)
                    std::snprintf(pointer, sizeof pointer, "%10s", "");
                else
                    std::snprintf(pointer, sizeof pointer, "%10u", newBlock);
                scratch_.replace(size_t(f.offset), 10, pointer, 10);
            }
            records += scratch_;
            ++kept;
            for (size_t t = 0; t < tags_.size(); ++t) {
                if (IsMember(*tags_[t], scratch_))
                    entries[t].emplace_back(MakeKey(*tags_[t], scratch_), uint32_t(kept));
            }
        }
        if (newMemo)
            newMemo->Flush();
        std::string header = dbf_->HeaderBytes();
        header[28] = char(tags_.empty() ? header[28] & ~0x01 : header[28] | 0x01);
        DbfFile::WriteCopy(tableTemp, header, records, kept);
        std::vector<CdxWriter::Tag> written;
        for (size_t t = 0; t < tags_.size(); ++t) {
            SortedKeys(entries[t], tags_[t]->header.unique, newKeys[t]);
            written.push_back(CdxWriter::Tag{tags_[t]->header, &newKeys[t], tags_[t]->pad});
        }
        if (!written.empty())
            CdxWriter::WriteInPlace(indexTemp, written);
        newTable = std::make_unique<DbfFile>(tableTemp);
    } catch (...) {
        newMemo.reset();
        removeTemps();
        throw;
    }

    // All three replaced together, or none.
    std::vector<ReplacementJournal::Entry> replaced = {{path_, tableTemp}};
    if (memo_)
        replaced.push_back({memoPath, memoTemp});
    replaced.push_back({indexPath, tags_.empty() ? std::string() : indexTemp});
    ReplacementJournal(JournalPath(), replaced).Commit();

    newTable->SetPath(path_);
    if (newMemo)
        newMemo->SetPath(memoPath);
    dbf_ = std::move(newTable);
    memo_ = std::move(newMemo);
    LoadDeletedMarks();
    recordRecno_ = 0;
    pending_.clear();
    for (auto& tag : tags_)
        tag->tree = nullptr;
    if (tags_.empty())
        cdx_.reset();
    else
        OpenTrees(indexPath, true);
    indexDirty_ = false;
    indexMarkedStale_ = false;
    posValid_ = false;
    GoTop();
}

bool WorkArea::Check(std::vector<std::string>& problems) {
    // The index file is compared with the table as it stands now.
    SyncTags();
    if (indexDirty_ && writable_)
        WriteIndex();
    size_t before = problems.size();
    for (long r = 1; r <= RecCount(); ++r) {
        dbf_->ReadRecord(r, scratch_);
        if (scratch_[0] != ' ' && scratch_[0] != '*')
            problems.push_back("Table " + path_ + ": record " + std::to_string(r) +
                               " has a bad deleted mark");
    }
    if (memo_)
        CheckMemos(problems);
    CheckIndex(problems);
    return problems.size() == before;
}

void WorkArea::CheckMemos(std::vector<std::string>& problems) {
    struct Extent {
        uint32_t start, blocks;
        long recno;
    };
    std::vector<Extent> extents;
    for (long r = 1; r <= RecCount(); ++r) {
        dbf_->ReadRecord(r, scratch_);
        for (const auto& f : Fields()) {
            if (f.type != 'M')
                continue;
            try {
                uint32_t block = MemoBlock(scratch_, f);
                if (block == 0)
                    continue;
                uint32_t blocks = memo_->BlocksUsed(block);
                if (uint64_t(block) + blocks > memo_->NextFreeBlock())
                    problems.push_back("Memo file " + memo_->Path() + ": the memo of record " +
                                       std::to_string(r) + " lies beyond the next free block");
                extents.push_back({block, blocks, r});
            } catch (const TableFault& fault) {
                problems.push_back(std::string(fault.what()) + " (record " + std::to_string(r) +
                                   ", field " + f.name + ")");
            }
        }
    }
    std::sort(extents.begin(), extents.end(),
              [](const Extent& a, const Extent& b) { return a.start < b.start; });
    for (size_t i = 1; i < extents.size(); ++i) {
        if (uint64_t(extents[i - 1].start) + extents[i - 1].blocks > extents[i].start)
            problems.push_back("Memo file " + memo_->Path() + ": memos of records " +
                               std::to_string(extents[i - 1].recno) + " and " +
                               std::to_string(extents[i].recno) + " overlap");
    }
}

void WorkArea::CheckIndex(std::vector<std::string>& problems) {
    std::string cdxPath = IndexPath();
    std::error_code ec;
    if (!fs::exists(cdxPath, ec)) {
        if (dbf_->HasIndexFlag())
            problems.push_back("Table " + path_ + ": marked as having the index " + cdxPath +
                               ", which is missing");
        return;
    }
    try {
        CdxReader reader(cdxPath);
        for (const auto& header : reader.Tags()) {
            auto expected = MakeTag(header);
            if (expected->header.keyLength != header.keyLength) {
                problems.push_back("Index " + cdxPath + ": tag " + header.name +
                                   " has the wrong key length");
                continue;
            }
            const KeyList wanted = BuildKeys(*expected);
            KeyList stored(header.keyLength);
            reader.ReadKeys(header, expected->pad, stored);
            if (stored.Size() != wanted.Size()) {
                problems.push_back("Index " + cdxPath + ": tag " + header.name + " holds " +
                                   std::to_string(stored.Size()) + " keys, the table gives " +
                                   std::to_string(wanted.Size()));
                continue;
            }
            for (long i = 0; i < stored.Size(); ++i) {
                if (stored.RecnoAt(i) != wanted.RecnoAt(i) || stored.KeyAt(i) != wanted.KeyAt(i)) {
                    problems.push_back("Index " + cdxPath + ": tag " + header.name +
                                       " differs from the table at key " + std::to_string(i + 1) +
                                       " (record " + std::to_string(stored.RecnoAt(i)) + ")");
                    break;
                }
            }
        }
    } catch (const TableFault& fault) {
        problems.push_back(fault.what());
    }
}

} // namespace qp::tables
