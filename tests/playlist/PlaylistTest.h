// The real window with its file dialog answered by the test, and the playlist read back.
#pragma once

#include "WindowFixture.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

class PlaylistTest : public corvaline::testsupport::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        AfxSetFileDialogAnswer([this](const FileDialogRequest& request) {
            m_requests.push_back(request);
            std::optional<std::string> answer;
            if (!m_answers.empty()) {
                answer = m_answers.front();
                m_answers.pop_front();
            }
            return answer;
        });
    }
    void TearDown() override {
        AfxSetFileDialogAnswer({});
        WindowTest::TearDown();
    }

    // The next file dialog chooses `path`; without an answer queued it is cancelled.
    void Choose(const std::string& path) { m_answers.push_back(path); }

    std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        CListBox& list = Dlg().m_sequenceList;
        for (int i = 0; i < list.GetCount(); ++i) {
            std::string line;
            list.GetText(i, line);
            lines.push_back(line);
        }
        return lines;
    }
    // The store's paths by entry number.
    std::vector<std::string> Entries() {
        std::vector<std::string> paths;
        for (const SequenceEntry& entry : Dlg().m_sequence) {
            paths.push_back(entry.path);
        }
        return paths;
    }
    std::vector<int> PickedFlags() {
        std::vector<int> flags;
        for (const SequenceEntry& entry : Dlg().m_sequence) {
            flags.push_back(entry.picked);
        }
        return flags;
    }

    std::deque<std::optional<std::string>> m_answers;
    std::vector<FileDialogRequest> m_requests;
};
