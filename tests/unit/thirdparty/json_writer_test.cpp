// jsoncpp as the engine links it: the exact text its writers produce, which reports rely on.

#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <string>

namespace {

Json::Value SampleObject() {
  Json::Value root(Json::objectValue);
  root["name"] = "tz \"setup\"\n";
  root["count"] = 3;
  root["ratio"] = 0.5;
  root["ok"] = true;
  root["none"] = Json::Value();
  root["list"].append(1);
  root["list"].append("二");
  return root;
}

TEST(JsonWriterTest, FastWriterIsCompactSortedAndEscapesNonAscii) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Json::FastWriter writer;
#pragma GCC diagnostic pop
  EXPECT_EQ(writer.write(SampleObject()),
            "{\"count\":3,\"list\":[1,\"\\u4e8c\"],\"name\":\"tz \\\"setup\\\"\\n\",\"none\":null,"
            "\"ok\":true,\"ratio\":0.5}\n");
}

TEST(JsonWriterTest, StreamWriterKeepsUtf8WhenAskedAndReadsBack) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  const std::string text = Json::writeString(builder, SampleObject());
  EXPECT_EQ(text,
            "{\"count\":3,\"list\":[1,\"二\"],\"name\":\"tz \\\"setup\\\"\\n\",\"none\":null,"
            "\"ok\":true,\"ratio\":0.5}");

  Json::Value back;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  ASSERT_TRUE(reader->parse(text.data(), text.data() + text.size(), &back, &errors)) << errors;
  EXPECT_EQ(back, SampleObject());
}

}  // namespace
