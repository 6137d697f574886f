#include "brevisto/mailstore/dbx_records.h"

#include "platform/system.h"

namespace bv {

std::string DbxRecord::StringAt(uint32_t offset) const {
    if (offset >= data.size()) return std::string();
    size_t end = offset;
    while (end < data.size() && data[end] != 0) ++end;
    return std::string(data.begin() + offset, data.begin() + static_cast<std::ptrdiff_t>(end));
}

bool DbxRecord::NumberAt(uint32_t offset, uint32_t& number) const {
    if (data.size() < 4 || offset > data.size() - 4) return false;
    number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | data[offset + static_cast<uint32_t>(i)];
    return true;
}

bool DbxRecord::FileTimeAt(uint32_t offset, FileTime& time) const {
    if (data.size() < 8 || offset > data.size() - 8) return false;
    time = 0;
    for (int i = 7; i >= 0; --i) time = (time << 8) | data[offset + static_cast<uint32_t>(i)];
    return true;
}

namespace {

// A number field that is stored either in the data area (id) or directly (id | 0x80).
void TakeNumber(const DbxRecord& record, const DbxRecord::Field& field, uint32_t& target) {
    if (DbxRecord::IsDirect(field.id)) {
        target = field.value;
    } else {
        uint32_t number = 0;
        if (record.NumberAt(field.value, number)) target = number;
    }
}

void TakeTime(const DbxRecord& record, const DbxRecord::Field& field, System& system,
              DateTime& target) {
    FileTime utc = 0;
    DateTime local;
    if (record.FileTimeAt(field.value, utc) && system.FileTimeToLocal(utc, local)) target = local;
}

}  // namespace

void FillFolderInfo(const DbxRecord& record, TFolderInfo& info) {
    for (const auto& field : record.fields) {
        switch (field.id) {
            case 0x80: info.FolderId = static_cast<int32_t>(field.value); break;
            case 0x81: info.ParentId = static_cast<int32_t>(field.value); break;
            case 0x89: info.SortKey = field.value; break;
            case 0x02: info.Name = record.StringAt(field.value); break;
            case 0x05: info.Text05 = record.StringAt(field.value); break;
            case 0x03: info.FileName = record.StringAt(field.value); break;
            case 0x06:
            case 0x86: TakeNumber(record, field, info.Number06); break;
            case 0x87: info.MessageCount = field.value; break;
            case 0x88: info.Number08 = field.value; break;
            case 0x9C: info.Number1C = field.value; break;
            default: break;
        }
    }
}

void FillMessageInfo(const DbxRecord& record, System& system, TMessageInfo& info) {
    for (const auto& field : record.fields) {
        switch (field.id) {
            case 0x00:
            case 0x80: TakeNumber(record, field, info.Number00); break;
            case 0x01:
            case 0x81: TakeNumber(record, field, info.Number01); break;
            case 0x02: TakeTime(record, field, system, info.Time02); break;
            case 0x03:
            case 0x83: TakeNumber(record, field, info.Number03); break;
            case 0x04:
            case 0x84: TakeNumber(record, field, info.Number04); break;
            case 0x05: info.Text05 = record.StringAt(field.value); break;
            case 0x06: TakeTime(record, field, system, info.Time06); break;
            case 0x07: info.Text07 = record.StringAt(field.value); break;
            case 0x08: info.Text08 = record.StringAt(field.value); break;
            case 0x09: info.Text09 = record.StringAt(field.value); break;
            case 0x0A: info.Text0A = record.StringAt(field.value); break;
            case 0x0B: info.Text0B = record.StringAt(field.value); break;
            case 0x0C: info.Text0C = record.StringAt(field.value); break;
            case 0x0D: info.Text0D = record.StringAt(field.value); break;
            case 0x0E: info.Text0E = record.StringAt(field.value); break;
            case 0x10:
            case 0x90: TakeNumber(record, field, info.Number10); break;
            case 0x11:
            case 0x91: TakeNumber(record, field, info.Number11); break;
            case 0x12: TakeTime(record, field, system, info.Time12); break;
            case 0x13: info.Text13 = record.StringAt(field.value); break;
            case 0x14: info.Text14 = record.StringAt(field.value); break;
            case 0x1A: info.Text1A = record.StringAt(field.value); break;
            case 0x1B: info.Text1B = record.StringAt(field.value); break;
            case 0x23: info.Text23 = record.StringAt(field.value); break;
            default: break;
        }
    }
}

}  // namespace bv
