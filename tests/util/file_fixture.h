#pragma once
// A temporary folder to write small files into, with the file utilities'
// pauses recorded instead of slept.
#include "util/fileutil.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace velta::test {

class FileFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetFileUtilPause([this](int ms) { pauses_.push_back(ms); });
    }
    void TearDown() override { SetFileUtilPause(nullptr); }
    QString write(const QString &name, const QByteArray &content = "x") {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    QTemporaryDir dir_;
    std::vector<int> pauses_;
};

}  // namespace velta::test
