#include "objects/ComponentTypes.h"

#include <cstdint>
#include <vector>

#include "objects/ComponentStrings.h"
#include "objects/ObjectTestSupport.h"

namespace {

TEST(ComponentTypes, RegistryHoldsTheStoresInListOrder) {
    const std::vector<BaseComponentFactory*>& stores = ComponentRegistry::Instance().Stores();
    std::size_t visited = 0;
    ForEachComponentType([&](auto tag) {
        using T = typename decltype(tag)::Type;
        EXPECT_EQ(kComponentIndex<T>, visited);
        EXPECT_EQ(stores.at(visited++), &ComponentFactory<T>::Instance());
    });
    EXPECT_EQ(visited, 17u);
    EXPECT_EQ(ComponentTypeName<BillboardComponent>(), "BillboardComponent");
    EXPECT_EQ(kComponentIndex<BillboardComponent>, 13u);
    EXPECT_FALSE(kIsRegistryComponent<ProbeComponent>);
}

TEST(ComponentTypes, ScriptNameListIsTheTypeListWithoutBillboard) {
    std::vector<std::string_view> expected(kComponentTypeNames.begin(), kComponentTypeNames.end());
    expected.erase(expected.begin() + kComponentIndex<BillboardComponent>);
    ASSERT_EQ(ComponentStrings::Size(), 16u);
    for (std::size_t i = 0; i < ComponentStrings::Size(); ++i) {
        EXPECT_EQ(ComponentStrings::At(i), expected[i]);
    }
    EXPECT_TRUE(ComponentStrings::Find("ObstacleComponent"));
    EXPECT_FALSE(ComponentStrings::Find("BillboardComponent"));
    EXPECT_FALSE(ComponentStrings::Find("obstacleComponent"));
    EXPECT_TRUE(ComponentStrings::At(16).empty() && ComponentStrings::At(SIZE_MAX).empty());
}

} // namespace
