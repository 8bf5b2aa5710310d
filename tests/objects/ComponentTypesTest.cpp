#include "objects/ComponentTypes.h"

#include <string_view>
#include <type_traits>
#include <vector>

#include "objects/ComponentStrings.h"
#include "objects/ObjectTestSupport.h"

namespace {

TEST(ComponentTypes, RegistryHoldsTheStoresInListOrderAndScriptsSeeAllButBillboard) {
    const std::vector<BaseComponentFactory*>& stores = ComponentRegistry::Instance().Stores();
    std::vector<std::string_view> scriptNames;
    std::size_t visited = 0;
    ForEachComponentType([&](auto tag) {
        using T = typename decltype(tag)::Type;
        EXPECT_EQ(kComponentIndex<T>, visited);
        EXPECT_EQ(stores.at(visited++), &ComponentFactory<T>::Instance());
        if (!std::is_same_v<T, BillboardComponent>)
            scriptNames.push_back(ComponentTypeName<T>());
    });
    EXPECT_EQ(visited, 17u);
    EXPECT_EQ(ComponentTypeName<BillboardComponent>(), "BillboardComponent");
    EXPECT_FALSE(kIsRegistryComponent<ProbeComponent>);
    ASSERT_EQ(ComponentStrings::Size(), scriptNames.size());
    for (std::size_t i = 0; i < scriptNames.size(); ++i)
        EXPECT_EQ(ComponentStrings::At(i), scriptNames[i]);
    EXPECT_FALSE(ComponentStrings::Find("obstacleComponent")) << "names are case-sensitive";
}

} // namespace
