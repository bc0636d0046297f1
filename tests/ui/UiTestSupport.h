#pragma once

#include "app/Ctl.h"

#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

class CPreviewFrame;
class QComboBox;
class QLineEdit;

// Types the text into the widget key by key, as a person would; characters without
// a key of their own (Chinese) arrive as key events carrying the character.
void TypeText(QWidget* widget, const QString& text);

// The print preview window opened last, null when none is open; the test that
// opened it deletes it.
CPreviewFrame* OpenedPreview();

// Replaces the edit's whole text by typing.
void RetypeText(QLineEdit* edit, const QString& text);
// Chooses a combo item with the keyboard, as a person would, so that the combo
// reports it as the user's choice.
void ChooseItem(QComboBox* combo, int index);
// A left click near the widget's left edge; the widget must be there and enabled.
void Click(QWidget* widget);
// A mouse click on the push button of that id.
void ClickButton(QWidget* dialog, int id);
// The control of that id on the dialog's page pageId; a test failure when either is missing.
template <class T>
T* Ctl(QWidget* dialog, int pageId, int id)
{
    auto* pane = page<QWidget>(dialog, pageId);
    EXPECT_NE(pane, nullptr) << pageId;
    auto* control = pane ? ctl<T>(pane, id) : nullptr;
    EXPECT_NE(control, nullptr) << pageId << " " << id;
    return control;
}
