#pragma once

#include "corvane/catalogue/ModelContainer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace corvane {

// A store in a fresh directory that can be closed and opened again.
class TemporaryStore {
public:
    TemporaryStore() { reopen(); }

    ModelContext &context() { return container_->mainContext(); }
    QString storePath() const { return container_->storePath(); }

    void close() { container_.reset(); }

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
