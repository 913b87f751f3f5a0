#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDate>
#include <QString>
#include <QTest>
#include <QTime>

#include <ostream>

using namespace Qt::StringLiterals;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &value, std::ostream *os)
{
    *os << '"' << value.toStdString() << '"';
}
inline void PrintTo(const QDate &value, std::ostream *os)
{
    *os << value.toString(Qt::ISODate).toStdString();
}
inline void PrintTo(const QTime &value, std::ostream *os)
{
    *os << value.toString(u"HH:mm:ss.zzz"_s).toStdString();
}
QT_END_NAMESPACE
