#pragma once
// A scratch program folder with its profile folder made, and the program's log recorded: the
// ground every settings test stands on.
#include "settings/Profiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

namespace tarvo {

class ProfileFolderFixture : public ::testing::Test {
protected:
    ProfileFolderFixture()
    {
        QDir().mkpath(ProfileFolder());
        SetProgramLog(&log);
    }
    ~ProfileFolderFixture() override { SetProgramLog(nullptr); }

    ScratchProgram program;
    RecordingEventLog log;
};

} // namespace tarvo
