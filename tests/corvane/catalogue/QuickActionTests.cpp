#include "corvane/catalogue/QuickAction.h"

#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(QuickAction, EveryActionIsCompleteAndTitledOnce)
{
    QSet<QString> titles;
    for (const QuickAction &action : QuickAction::builtInActions()) {
        SCOPED_TRACE(action.title.toStdString());
        EXPECT_FALSE(action.title.trimmed().isEmpty());
        EXPECT_FALSE(action.description.trimmed().isEmpty());
        EXPECT_FALSE(action.remoteCommand.trimmed().isEmpty());
        EXPECT_FALSE(action.category.trimmed().isEmpty());
        EXPECT_EQ(action.remoteCommand, action.remoteCommand.trimmed());
        titles.insert(action.title);
    }
    EXPECT_EQ(titles.size(), static_cast<qsizetype>(QuickAction::builtInActions().size()));
}

TEST(QuickAction, RiskFollowsWhatTheCommandDoes)
{
    // Whatever needs root changes something; a restart is rated as one; nothing read-only asks for
    // root.
    for (const QuickAction &action : QuickAction::builtInActions()) {
        SCOPED_TRACE(action.title.toStdString());
        const bool needsRoot = action.remoteCommand.startsWith(QStringLiteral("sudo "));
        EXPECT_EQ(needsRoot, action.risk != RiskLevel::readOnly);
        EXPECT_EQ(action.remoteCommand.contains(QStringLiteral(" restart ")), action.risk == RiskLevel::restart);
    }
}

TEST(QuickAction, CatalogueHasTenReadOnlyActionsAndNoDestructiveOne)
{
    const std::vector<QuickAction> &actions = QuickAction::builtInActions();
    const auto readOnly = std::count_if(actions.begin(), actions.end(), [](const QuickAction &action) {
        return action.risk == RiskLevel::readOnly;
    });
    EXPECT_EQ(readOnly, 10);
    EXPECT_TRUE(std::none_of(actions.begin(), actions.end(), [](const QuickAction &action) {
        return action.risk == RiskLevel::destructive;
    }));
}

TEST(QuickAction, CategoriesInFirstAppearanceOrder)
{
    QStringList categories;
    for (const QuickAction &action : QuickAction::builtInActions()) {
        if (!categories.contains(action.category)) {
            categories.append(action.category);
        }
    }
    EXPECT_EQ(categories, (QStringList{"System", "Docker", "Services"}));
}

TEST(QuickAction, IdentitiesAreDistinctAndStableWithinARun)
{
    const std::vector<QuickAction> &first = QuickAction::builtInActions();
    const std::vector<QuickAction> &second = QuickAction::builtInActions();
    EXPECT_EQ(&first, &second);
    QSet<QUuid> ids;
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_FALSE(first[i].id.isNull());
        EXPECT_EQ(first[i].id, second[i].id);
        ids.insert(first[i].id);
    }
    EXPECT_EQ(ids.size(), static_cast<qsizetype>(first.size()));
}

} // namespace
} // namespace corvane
