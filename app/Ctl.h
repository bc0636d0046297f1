#pragma once

#include <QObject>
#include <QString>

// Controls carry their dialog ids in their object names ("ctl_1183"), pages of a
// sheet theirs ("page_2"), so code and tests find them by the ids the dialogs use.

inline QString CtlName(int id)
{
    return QStringLiteral("ctl_%1").arg(id);
}

inline QString PageName(int id)
{
    return QStringLiteral("page_%1").arg(id);
}

// Names the control by its id and returns it, so that creation reads in one line.
template <class T>
T* SetCtlId(T* control, int id)
{
    control->setObjectName(CtlName(id));
    return control;
}

template <class T>
T* SetPageId(T* page, int id)
{
    page->setObjectName(PageName(id));
    return page;
}

// The control of that id under the widget (at any depth), null when there is none
// or it is not a T.
template <class T>
T* ctl(const QObject* widget, int id)
{
    return widget->findChild<T*>(CtlName(id));
}

template <class T>
T* page(const QObject* widget, int id)
{
    return widget->findChild<T*>(PageName(id));
}
