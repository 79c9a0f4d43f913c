// Shuffling the playlist and playing it across the two decks.
#include "CorvalineDlg.h"
#include "Deck.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace {

constexpr int kAutoCrossfadeBox = 1022;
constexpr int kExecuteButton = 1029;
constexpr int kCancelListButton = 1030;
constexpr unsigned kDrawMax = 32767;

} // namespace

unsigned CCorvalineDlg::IndexFromDraw(unsigned draw, unsigned n) {
    if (n == 0)
        return 0;
    // 64 bits: the product overflows 32 for playlists past 131072 entries.
    const std::uint64_t k = std::uint64_t{draw} * n / kDrawMax;
    return k >= n ? n - 1 : static_cast<unsigned>(k);
}

unsigned CCorvalineDlg::RandomIndex(unsigned n) {
    // The top bits of the generator's 32, which are its best: 15 of them for a draw.
    const std::uint32_t word = m_random();
    if (n <= kDrawMax + 1)
        return IndexFromDraw(word >> 17, n);
    // A longer playlist takes a draw of 30 bits, scaled by a shift: one of 15 would reach
    // only every (n / 32768)th entry, and a shuffle would then probe ten times n in vain for
    // each of the others and lay them out in their added order.
    return static_cast<unsigned>((std::uint64_t{word >> 2} * n) >> 30);
}

namespace {

// The entry number a shuffle places next: random probes, then the first unplaced entry, then
// a new round. `picked` holds the flags of entries 0..n-1 (n at least 1), side by side: a
// shuffle of a large playlist probes them some n·ln n times, and the entries themselves lie
// scattered over the heap.
template <class Random>
unsigned PickNumber(std::vector<unsigned char>& picked, Random&& randomIndex) {
    const auto n = static_cast<unsigned>(picked.size());
    for (std::uint64_t probe = 0; probe < std::uint64_t{10} * n; ++probe) {
        const unsigned k = randomIndex(n);
        if (picked[k] == 0) {
            picked[k] = 1;
            return k;
        }
    }
    for (unsigned k = 0; k < n; ++k) {
        if (picked[k] == 0) {
            picked[k] = 1;
            return k;
        }
    }
    // A round is complete: the next one starts from all entries.
    std::fill(picked.begin(), picked.end(), 0);
    const unsigned k = randomIndex(n);
    picked[k] = 1;
    return k;
}

// The entries by number (numbers run 0..n-1 without gaps) and their flags, and back.
void TakeFlags(std::map<unsigned, SequenceEntry>& sequence, std::vector<SequenceEntry*>& entries,
               std::vector<unsigned char>& picked) {
    entries.reserve(sequence.size());
    picked.reserve(sequence.size());
    for (auto& [number, entry] : sequence) {
        entries.push_back(&entry);
        picked.push_back(entry.picked != 0 ? 1 : 0);
    }
}

void PutFlags(const std::vector<SequenceEntry*>& entries, const std::vector<unsigned char>& picked) {
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i]->picked = picked[i];
}

} // namespace

std::string CCorvalineDlg::PickShuffled() {
    if (m_sequence.empty())
        return {};
    std::vector<SequenceEntry*> entries;
    std::vector<unsigned char> picked;
    TakeFlags(m_sequence, entries, picked);
    const unsigned k = PickNumber(picked, [this](unsigned n) { return RandomIndex(n); });
    PutFlags(entries, picked);
    return entries[k]->path;
}

void CCorvalineDlg::OnRandomize() {
    m_sequenceList.ResetContent();
    if (!m_sequence.empty()) {
        // PickShuffled n times, with the flags gathered once rather than at every pick.
        std::vector<SequenceEntry*> entries;
        std::vector<unsigned char> picked;
        TakeFlags(m_sequence, entries, picked);
        for (std::size_t i = 0; i < entries.size(); ++i)
            m_sequenceList.AddString(
                entries[PickNumber(picked, [this](unsigned n) { return RandomIndex(n); })]->path);
        PutFlags(entries, picked);
    }
    m_sequenceList.SetCurSel(0);
}

std::string CCorvalineDlg::NextInSequence() {
    if (m_sequenceList.GetCount() <= 0)
        OnRandomize();
    std::string text;
    // The top line, whatever line is selected.
    if (m_sequenceList.GetText(0, text) != LB_ERR)
        m_sequenceList.DeleteString(0);
    return text;
}

void CCorvalineDlg::EnableRunControls(BOOL running) {
    if (CWnd* box = GetDlgItem(kAutoCrossfadeBox))
        box->EnableWindow(!running);
    if (CWnd* cancel = GetDlgItem(kCancelListButton))
        cancel->EnableWindow(running);
    if (CWnd* execute = GetDlgItem(kExecuteButton))
        execute->EnableWindow(!running);
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
        // What the next hand-over will start waits in edit 1000.
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
    if (selected == LB_ERR)
        return;
    // The line stays: only a run's hand-over takes lines out.
    m_sequenceList.GetText(selected, m_path);
    UpdateControls();
    if (m_sequenceRunning) {
        OnCrossFade();
    } else if (!m_playing1 && !m_playing2) {
        OnPlay1();
    }
}
