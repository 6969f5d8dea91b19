// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtCharts/QChartGlobal>

// The chart classes that headers name, declared by their plain names: Qt 5 keeps them in the
// namespace QtCharts, which this makes visible, and Qt 6 in Qt's own namespace.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_BEGIN_NAMESPACE
#else
QT_BEGIN_NAMESPACE
#endif
class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_END_NAMESPACE
QT_CHARTS_USE_NAMESPACE
#else
QT_END_NAMESPACE
#endif
