#pragma once

// Short forms for handing text between the core's std::string (UTF-8) and Qt's widgets.

#include <QString>

#include <string>

namespace trawlix {

inline QString Q(const std::string& aText) { return QString::fromStdString(aText); }
inline std::string S(const QString& aText) { return aText.toStdString(); }

}  // namespace trawlix
