// Qt's widget headers, parsed once for the window library and its tests (a build speed aid
// only: each file still includes what it uses).
#pragma once

#include <QtCore>
#include <QtGui>
#include <QtWidgets>

#include <functional>
#include <memory>
#include <string>
#include <vector>
