#pragma once

class CArchiveReader;
class CArchiveWriter;
class CDSBase;
class CLabelData;

// The data sources section of a label file: a u32 count, then per description a
// common block and the block of its type. Connection fields are stored exactly as the
// description holds them, enciphered; nothing here enciphers or deciphers.
void WriteDataSources(CArchiveWriter& ar, const CLabelData& label);
// One record of the section: the common block and the block of the description's type.
void WriteDataSource(CArchiveWriter& ar, const CDSBase& ds);
// Appends the descriptions in file order to the label's list. A short file throws
// CArchiveException and keeps the descriptions read so far; so does an unknown type
// code, since the length of such a record is not stored and nothing after it can be
// read in a meaningful way.
void ReadDataSources(CArchiveReader& ar, CLabelData& label);
