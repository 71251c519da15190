#include "platform/gui/CmdTarget.h"
#include "platform/gui/SystemNumbers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Base : public CCmdTarget {
public:
    std::string m_log;

protected:
    void OnShared() { m_log += "base shared;"; }
    void OnBaseOnly() { m_log += "base only;"; }

    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;
};

const MessageMap Base::messageMap{&CCmdTarget::messageMap, {
    {WM_COMMAND, 10, &Base::OnShared},
    {WM_COMMAND, 11, &Base::OnBaseOnly},
}};

class Derived : public Base {
protected:
    void OnShared() { m_log += "derived shared;"; }
    void OnSysCommand(unsigned id, std::intptr_t param) { m_log += "sys " + std::to_string(id) + " " + std::to_string(param) + ";"; }
    IconHandle OnQueryDragIcon() { return reinterpret_cast<IconHandle>(0x1234); }

    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;
};

const MessageMap Derived::messageMap{&Base::messageMap, {
    {WM_COMMAND, 10, &Derived::OnShared},
    {WM_SYSCOMMAND, 0, &Derived::OnSysCommand},
    {WM_QUERYDRAGICON, 0, &Derived::OnQueryDragIcon},
}};

TEST(MessageMap, AClassTableIsSearchedBeforeItsBaseClassTable)
{
    Derived target;
    EXPECT_TRUE(target.OnCmdMsg(WM_COMMAND, 10, 0));
    EXPECT_TRUE(target.OnCmdMsg(WM_COMMAND, 11, 0));
    EXPECT_EQ(target.m_log, "derived shared;base only;");
}

TEST(MessageMap, CommandsMatchByIdInTheLowWord)
{
    Derived target;
    EXPECT_TRUE(target.OnCmdMsg(WM_COMMAND, 11 | (1u << 16), 0)) << "a notification code rides in the high word";
    EXPECT_FALSE(target.OnCmdMsg(WM_COMMAND, 12, 0));
    EXPECT_EQ(target.m_log, "base only;");
}

TEST(MessageMap, OtherMessagesMatchWhateverTheirArguments)
{
    Derived target;
    EXPECT_TRUE(target.OnCmdMsg(WM_SYSCOMMAND, SC_CLOSE, 7));
    EXPECT_EQ(target.m_log, "sys 61536 7;");
    std::intptr_t result = 0;
    EXPECT_TRUE(target.OnCmdMsg(WM_QUERYDRAGICON, 0, 0, &result));
    EXPECT_EQ(result, 0x1234);
    EXPECT_FALSE(target.OnCmdMsg(WM_PAINT, 0, 0));
}

}  // namespace
