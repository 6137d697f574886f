// The records that DBX tree entries point to, and what the reader takes from them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace bv {

class System;

// One mail folder of a folder index file.
struct TFolderInfo {
    int32_t FolderId = 0;
    int32_t ParentId = 0;
    uint32_t SortKey = 0;
    std::string Name;
    std::string Text05;
    std::string FileName;  // the folder's DBX file, relative to the store folder
    uint32_t Number06 = 0;
    uint32_t MessageCount = 0;
    uint32_t Number08 = 0;
    uint32_t Number1C = 0;
};

// One message of a message file; times are local times.
struct TMessageInfo {
    uint32_t Number00 = 0;
    uint32_t Number01 = 0;
    DateTime Time02;
    uint32_t Number03 = 0;
    uint32_t Number04 = 0;
    std::string Text05;
    DateTime Time06;
    std::string Text07;
    std::string Text08;
    std::string Text09;
    std::string Text0A;
    std::string Text0B;
    std::string Text0C;
    std::string Text0D;
    std::string Text0E;
    uint32_t Number10 = 0;
    uint32_t Number11 = 0;
    DateTime Time12;
    std::string Text13;
    std::string Text14;
    std::string Text1A;
    std::string Text1B;
    std::string Text23;
};

// The field entries and the data area of one record. Ids from 0x80 on carry their value
// directly; below that the value is an offset into the data area.
struct DbxRecord {
    struct Field {
        uint8_t id;
        uint32_t value;  // 24 bits
    };
    std::vector<Field> fields;
    Bytes data;

    static bool IsDirect(uint8_t id) { return (id & 0x80) != 0; }
    // Reads stay inside the data area; a field that does not fit reads as missing.
    std::string StringAt(uint32_t offset) const;
    bool NumberAt(uint32_t offset, uint32_t& number) const;
    bool FileTimeAt(uint32_t offset, FileTime& time) const;
};

void FillFolderInfo(const DbxRecord& record, TFolderInfo& info);
void FillMessageInfo(const DbxRecord& record, System& system, TMessageInfo& info);

}  // namespace bv
