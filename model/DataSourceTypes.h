#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class CDLBase;
class CDSBase;

// A file type's name in the data-source manager by the last four characters of the
// file's path, upper-cased (".TXT", "XLSX").
struct DataSourceFileName
{
    const char* tail;
    const char16_t* name;
};

// One data-source type. The table of them is the one list of the types: the wizard,
// the data-source manager, the description and loader factories all read it.
struct DataSourceTypeInfo
{
    int32_t type;
    int wizardRadioId;
    const char16_t* wizardCaption;
    // The manager's type name; a file type has none and is named by its extension.
    const char16_t* typeName;
    DataSourceFileName fileNames[2];
    std::unique_ptr<CDSBase> (*makeDescription)();
    // Null for a type whose rows this program cannot read.
    std::unique_ptr<CDLBase> (*makeLoader)();
};

// Every type, in the wizard's order (not the order of the codes).
const std::vector<DataSourceTypeInfo>& DataSourceTypes();
// The entry of a type code, null for a code no type has.
const DataSourceTypeInfo* FindDataSourceType(int32_t type);
