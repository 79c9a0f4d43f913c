// Shuffling the playlist and playing it across the two decks.
#include "CorvalineDlg.h"
#include "Deck.h"
#include "Resources.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

constexpr unsigned kDrawMax = 32767;

} // namespace

unsigned CCorvalineDlg::IndexFromDraw(unsigned draw, unsigned n) {
    if (n == 0) {
        return 0;
    }
    // 64 bits: the product overflows 32 for playlists past 131072 entries.
    const std::uint64_t k = std::uint64_t{draw} * n / kDrawMax;
    return k >= n ? n - 1 : static_cast<unsigned>(k);
}

unsigned CCorvalineDlg::RandomIndex(unsigned n) {
    // The top bits of the generator's 64, which are its best: 15 of them for a draw.
    const std::uint64_t word = m_random();
    if (n <= kDrawMax + 1) {
        return IndexFromDraw(static_cast<unsigned>(word >> 49), n);
    }
    // A longer playlist takes a draw of 30 bits, scaled by a shift: one of 15 would reach
    // only every (n / 32768)th entry, and a shuffle would then probe ten times n in vain for
    // each of the others and lay them out in their added order.
    return static_cast<unsigned>(((word >> 34) * n) >> 30);
}

// The picked flags of entries 0..n-1 while a shuffle runs, a byte each: a shuffle of a large
// playlist probes them at random some n·ln n times, and as bytes they stay in the cache where
// the entries themselves would not. They are gathered once for a whole shuffle, not at every
// pick, and written back to the entries when it is done.
class ShuffleFlags {
  public:
    explicit ShuffleFlags(const std::vector<SequenceEntry>& sequence) {
        m_picked.reserve(sequence.size());
        for (const SequenceEntry& entry : sequence) {
            m_picked.push_back(entry.picked != 0 ? 1 : 0);
        }
        m_unpicked = static_cast<std::size_t>(std::count(m_picked.begin(), m_picked.end(), 0));
    }

    // The entry number a shuffle places next (n at least 1): random probes, then the first
    // unplaced entry, then a new round.
    template <class Random> unsigned Pick(Random&& randomIndex) {
        const auto n = static_cast<unsigned>(m_picked.size());
        // With every entry placed no probe and no scan can find one; they are left out.
        if (m_unpicked > 0) {
            for (std::uint64_t probe = 0; probe < std::uint64_t{10} * n; ++probe) {
                const unsigned k = randomIndex(n);
                if (m_picked[k] == 0) {
                    return Take(k);
                }
            }
            for (unsigned k = 0; k < n; ++k) {
                if (m_picked[k] == 0) {
                    return Take(k);
                }
            }
        }
        // A round is complete: the next one starts from all entries.
        std::fill(m_picked.begin(), m_picked.end(), 0);
        m_unpicked = n;
        return Take(randomIndex(n));
    }

    void PutBack(std::vector<SequenceEntry>& sequence) const {
        for (std::size_t k = 0; k < sequence.size(); ++k) {
            sequence[k].picked = m_picked[k];
        }
    }

  private:
    unsigned Take(unsigned k) {
        m_picked[k] = 1;
        --m_unpicked;
        return k;
    }

    std::vector<unsigned char> m_picked;
    std::size_t m_unpicked = 0;
};

const std::string& CCorvalineDlg::PickShuffled(ShuffleFlags& flags) {
    return m_sequence[flags.Pick([this](unsigned n) { return RandomIndex(n); })].path;
}

void CCorvalineDlg::OnRandomize() {
    m_sequenceList.ResetContent();
    if (!m_sequence.empty()) {
        // The lines are handed to the list all together.
        std::vector<std::string_view> lines;
        lines.reserve(m_sequence.size());
        ShuffleFlags flags(m_sequence);
        for (std::size_t i = 0; i < m_sequence.size(); ++i) {
            lines.emplace_back(PickShuffled(flags));
        }
        flags.PutBack(m_sequence);
        m_sequenceList.AddStrings(lines);
    }
    m_sequenceList.SetCurSel(0);
}

std::string CCorvalineDlg::NextInSequence() {
    if (m_sequenceList.GetCount() <= 0) {
        OnRandomize();
    }
    std::string text;
    // The top line, whatever line is selected.
    if (m_sequenceList.GetText(0, text) != LB_ERR) {
        m_sequenceList.DeleteString(0);
    }
    return text;
}

void CCorvalineDlg::TakeNextLine() {
    // The edit shows the file that the next hand-over will start.
    UpdateFields();
    m_path = NextInSequence();
    UpdateControls();
}

void CCorvalineDlg::EnableRunControls(BOOL running) {
    if (CWnd* box = GetDlgItem(IDC_AUTO_CROSSFADE)) {
        box->EnableWindow(!running);
    }
    if (CWnd* cancel = GetDlgItem(IDC_CANCEL_LIST)) {
        cancel->EnableWindow(running);
    }
    if (CWnd* execute = GetDlgItem(IDC_EXECUTE)) {
        execute->EnableWindow(!running);
    }
}

void CCorvalineDlg::OnExecute() {
    m_sequenceRunning = 1;
    UpdateFields();
    // A run always hands over by the automatic cross-fade.
    m_autoCrossfade = 1;
    EnableRunControls(TRUE);
    if (!m_playing1 && !m_playing2) {
        m_path = NextInSequence();
        UpdateControls();
        OnPlay1();
        PassOverUnplayable(DeckAt(0));
        // What the next hand-over will start waits in the path edit.
        m_path = NextInSequence();
        UpdateControls();
    }
    UpdateControls();
}

// A file that does not open (damaged, not audio, gone since it was added) would otherwise
// leave the deck silent and the run at a standstill. One round of the playlist at most is
// tried, so that a playlist with nothing playable in it ends quiet instead of looping; an
// empty edit (a cleared playlist) starts nothing, as anywhere else.
void CCorvalineDlg::PassOverUnplayable(Deck deck) {
    for (std::size_t tried = 0; !deck.playing && !m_path.empty() && tried < m_sequence.size();
         ++tried) {
        m_path = NextInSequence();
        UpdateControls();
        Play(deck);
    }
}

void CCorvalineDlg::OnCancelList() {
    UpdateFields();
    m_sequenceRunning = 0;
    EnableRunControls(FALSE);
    UpdateControls();
}

void CCorvalineDlg::OnSequenceDblClk() {
    UpdateFields();
    const int selected = m_sequenceList.GetCurSel();
    if (selected == LB_ERR) {
        return;
    }
    // The line stays: only a run's hand-over takes lines out.
    m_sequenceList.GetText(selected, m_path);
    UpdateControls();
    if (m_sequenceRunning) {
        OnCrossFade();
    } else if (!m_playing1 && !m_playing2) {
        OnPlay1();
    }
}
