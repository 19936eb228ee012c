#pragma once
// Finding a control by its object name: under the window it was attached to, or, since the device
// pages move into the "Commander" pop-up and a test may build them in a window of their own, in
// the other top-level windows.
#include <QApplication>
#include <QWidget>

namespace tavo {

template <class T> T* FindControl(QWidget* root, const QString& name) {
    if (root) {
        if (root->objectName() == name)
            if (auto* self = qobject_cast<T*>(root)) return self;
        if (T* w = root->findChild<T*>(name)) return w;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top == root) continue;
            if (top->objectName() == name)
                if (auto* self = qobject_cast<T*>(top)) return self;
            if (T* w = top->findChild<T*>(name)) return w;
        }
    }
    return nullptr;
}

} // namespace tavo
