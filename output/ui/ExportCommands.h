#pragma once

#include <vector>

class CBaseGraph;
class CLabelData;
class QWidget;

// What the document window's export commands run over the objects selected on the
// canvas; current is the selected object the status bar speaks of (null when none,
// and then nothing is exported). The label gives the printer and the data sources.
// Both run on their own copy of the label and the selection, under a progress that
// blocks the program's other windows.

// One picture of the selection into a file or onto the clipboard.
void RunExportCommand(const CLabelData& label, const std::vector<CBaseGraph*>& selection, const CBaseGraph* current,
                      QWidget* parent);
// One picture file per data row, with progress and cancel.
void RunBatchExportCommand(const CLabelData& label, const std::vector<CBaseGraph*>& selection,
                           const CBaseGraph* current, QWidget* parent);
