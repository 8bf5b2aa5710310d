// A component's script data as engine tools see it, and the property access
// the binding tables give them: nothing a script defines runs on a look.
#include <gtest/gtest.h>

#include "core/Core.h"
#include "graphics/DrawTextComponent.h"
#include "logic/GeneralDataComponent.h"
#include "logic/ScriptUpdateComponent.h"
#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "script/FieldAccess.h"
#include "script/ScriptData.h"
#include "script/ScriptTestSupport.h"

namespace {

class ScriptDataAccess : public ::testing::Test, protected ScriptRunner {
  protected:
    void SetUp() override {
        ASSERT_TRUE(host().Initialize());
        Core::Instance().objectManager->ClearAllObjects();
    }
    static const script::EditableField* Field(const std::vector<script::EditableField>& fields,
                                              const std::string& name) {
        for (const auto& field : fields)
            if (field.name == name)
                return &field;
        return nullptr;
    }
};

TEST_F(ScriptDataAccess, PlainValuesAreReadAndWrittenWithoutRunningScript) {
    ASSERT_EQ(ErrorOf(R"(
        var om = Core.Instance().objectManager, o = om.NewObject(), reads = 0;
        var d = ObjectManager.AddScriptUpdateComponent(o).data;
        d.hp = 5; d.alive = true; d.name = 'gem'; d.at = [1, 2, 3];
        d.pair = [1, 2]; d.nested = { x: 1 }; d.words = ['a', 'b', 'c']; d.fn = function() {};
        Object.defineProperty(d, 'lazy', { get() { ++reads; return 1; }, enumerable: true });
        Object.defineProperty(d, 'fixed', { value: 7, writable: false, enumerable: true });
        var at = d.at;
    )"),
              "");
    ScriptData& data = ObjectManager::GetComponent<ScriptUpdateComponent>(GameObject(0, 0))->data;
    const auto values = data.ReadPlainValues();
    std::string listed;
    for (const auto& [key, value] : values)
        listed += key + ":" + std::to_string(value.index()) + " ";
    // Numbers, booleans, texts and 3-number arrays, in the script's order.
    EXPECT_EQ(listed, "hp:1 alive:2 name:3 at:5 fixed:1 ");
    EXPECT_EQ(std::get<std::string>(values[2].second), "gem");

    EXPECT_TRUE(data.WritePlainValue("hp", 7.5));
    EXPECT_TRUE(data.WritePlainValue("name", std::string("ruby")));
    EXPECT_TRUE(data.WritePlainValue("at", glm::vec3(4, 5, 6)));
    // Another kind, an accessor, a read-only or a missing key changes nothing.
    EXPECT_FALSE(data.WritePlainValue("alive", 1.0));
    EXPECT_FALSE(data.WritePlainValue("lazy", 2.0));
    EXPECT_FALSE(data.WritePlainValue("fixed", 8.0));
    EXPECT_FALSE(data.WritePlainValue("missing", 1.0));
    EXPECT_FALSE(data.WritePlainValue("pair", glm::vec3(1)));
    // The array the script holds is the one changed.
    EXPECT_EQ(Eval("[reads, d.hp, d.alive, d.name, at === d.at, d.at.join(), 'missing' in d]"
                   ".join(' ')"),
              "0 7.5 true ruby true 4,5,6 false");

    // A slot reused by a new object starts with no data; so does a fresh
    // data component, which makes its object on first read.
    ASSERT_EQ(ErrorOf("om.DeleteObject(o); om.DelayedDestruction(); o = om.NewObject();"
                      "var again = ObjectManager.AddScriptUpdateComponent(o);"
                      "var general = ObjectManager.AddGeneralDataComponent(o);"),
              "");
    EXPECT_TRUE(data.ReadPlainValues().empty());
    EXPECT_TRUE(ObjectManager::GetComponent<GeneralDataComponent>(GameObject(0, 1))->data.IsNull());
    EXPECT_EQ(Eval("general.data.score = 3; general.data === general.data"), "true");
    EXPECT_EQ(ObjectManager::GetComponent<GeneralDataComponent>(GameObject(0, 1))
                  ->data.ReadPlainValues()
                  .size(),
              1u);
    EXPECT_EQ(ErrorOf("general.data = 5"),
              "test.js:1:1: Error in GeneralDataComponent.data: the value must be object or null, "
              "got a number.");
}

TEST_F(ScriptDataAccess, BoundPropertiesGiveToolsTheirValuesThroughTheTable) {
    ASSERT_EQ(ErrorOf("var om = Core.Instance().objectManager, o = om.NewObject();"
                      "ObjectManager.AddDrawTextComponent(o); ObjectManager.AddBodyComponent(o);"),
              "");
    const GameObject obj(0, 0);
    auto* text = ObjectManager::GetComponent<DrawTextComponent>(obj);
    const auto textFields = script::EditableFieldsOf(typeid(DrawTextComponent));
    // Integers are rounded and kept in their range.
    const script::EditableField* detail = Field(textFields, "fontDetail");
    ASSERT_NE(detail, nullptr);
    EXPECT_TRUE(detail->access.integral);
    detail->access.set(text, 2.6);
    EXPECT_EQ(text->fontDetail, 3u);
    detail->access.set(text, -1.0);
    detail->access.set(text, std::string("4"));
    EXPECT_EQ(text->fontDetail, 3u);
    EXPECT_EQ(std::get<double>(detail->access.get(text)), 3.0);
    ASSERT_NE(Field(textFields, "color"), nullptr);
    EXPECT_TRUE(script::IsColourName("color") && script::IsColourName("backgroundColour"));

    // Accessor pairs count too; values without a plain form (a shape) do not.
    auto* body = ObjectManager::GetComponent<BodyComponent>(obj);
    const auto bodyFields = script::EditableFieldsOf(typeid(BodyComponent));
    const script::EditableField* sleep = Field(bodyFields, "allowSleep");
    ASSERT_NE(sleep, nullptr);
    sleep->access.set(body, false);
    EXPECT_EQ(Eval("ObjectManager.BodyComponent(o).allowSleep"), "false");
    EXPECT_EQ(Field(bodyFields, "shape"), nullptr);
    EXPECT_TRUE(script::EditableFieldsOf(typeid(ScriptDataAccess)).empty());
}

} // namespace
