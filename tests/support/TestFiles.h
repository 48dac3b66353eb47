#pragma once
// Reading and writing whole files in tests.
#include <QByteArray>
#include <QString>

// The file's bytes, or "<missing>" when it does not open.
QByteArray ReadAll(const QString &path);
// Writes the bytes as the whole file; fails the test when it cannot.
void WriteBytes(const QString &path, const QByteArray &bytes);
