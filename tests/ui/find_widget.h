#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

namespace trawlix::test {

// The one control of type T named aName inside aParent, found the way a user finds it: by what
// it is, not through the window's members. A missing or doubled name stops the test program,
// since every step after it would act on the wrong control.
template <class T>
T* Widget(const QObject* aParent, const char* aName) {
    const QList<T*> found = aParent->findChildren<T*>(QString::fromLatin1(aName));
    if (found.size() != 1)
        qFatal("%lld controls named \"%s\" of type %s in \"%s\"", static_cast<long long>(found.size()), aName,
               T::staticMetaObject.className(), qPrintable(aParent->objectName()));
    return found.front();
}

}  // namespace trawlix::test
