#pragma once

#include "corvane/catalogue/ModelContainer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace corvane {

// A store in a fresh directory that can be closed and opened again.
class TemporaryStore {
public:
    TemporaryStore() { reopen(); }

    ModelContext &context() { return container_->mainContext(); }
    QString storePath() const { return container_->storePath(); }

    void close() { container_.reset(); }

    // From now on every write of a profile fails with `message`, as a full disk would make it:
    // another connection adds triggers that refuse them.
    void refuseProfileWrites(const char *message)
    {
        sqlite3 *connection = nullptr;
        ASSERT_EQ(sqlite3_open(storePath().toUtf8().constData(), &connection), SQLITE_OK);
        for (const char *event : {"INSERT", "UPDATE", "DELETE"}) {
            const QByteArray trigger = QByteArray("CREATE TRIGGER refuse") + event + " BEFORE " + event +
                                       " ON ServerProfile BEGIN SELECT RAISE(ABORT, '" + message +
                                       "'); END";
            EXPECT_EQ(sqlite3_exec(connection, trigger.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        }
        sqlite3_close(connection);
    }

    void reopen()
    {
        container_.reset();
        auto opened = ModelContainer::open(directory_.path());
        if (auto *error = std::get_if<StoreError>(&opened)) {
            FAIL() << error->message.toStdString();
        }
        container_ = std::move(std::get<std::unique_ptr<ModelContainer>>(opened));
    }

private:
    QTemporaryDir directory_;
    std::unique_ptr<ModelContainer> container_;
};

} // namespace corvane
