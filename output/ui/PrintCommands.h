#pragma once

#include <memory>

class CLabelData;
class QWidget;

// What the document window's Print and Print Preview commands run. Both work on a
// private deep copy of the label record, so the job's generated values never reach
// the document, and the document may change or close while a preview is open.

// A deep copy of the record: everything the label file holds, with its path and
// title.
std::unique_ptr<CLabelData> CopyLabelData(const CLabelData& label);

// The print dialog over a copy of the label, modal to parent. A job that cannot be
// prepared (a data source that cannot be read) is reported and no dialog opens.
void RunPrintDialog(const CLabelData& label, QWidget* parent);
