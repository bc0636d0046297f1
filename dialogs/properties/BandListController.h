#pragma once

#include <QString>
#include <memory>
#include <vector>

class CDataBand;

using BandVector = std::vector<std::unique_ptr<CDataBand>>;

// The working copies behind a band list (an object's content, or the label's named
// substrings) while a dialog edits them: the current band, a private copy buffer,
// the toolbar's operations and the sample of the whole content. Nothing reaches the
// owner's list before ApplyTo, so dropping the controller is a cancel.
class CBandListController
{
public:
    CBandListController();
    ~CBandListController();
    CBandListController(const CBandListController&) = delete;
    CBandListController& operator=(const CBandListController&) = delete;

    // Working copies of the source's bands. select is one of the source's bands or
    // null; the copy of it becomes current (the first copy when it is null or not
    // there, none for an empty list).
    void Load(const BandVector& source, const CDataBand* select);

    int Count() const { return static_cast<int>(m_bands.size()); }
    CDataBand* At(int index) const;
    const BandVector& Bands() const { return m_bands; }
    // -1 when no band is current.
    int CurrentIndex() const { return m_current; }
    CDataBand* Current() const { return At(m_current); }
    // An index outside the list leaves no band current.
    void SetCurrent(int index);

    // Appends the band and makes it current.
    void Append(std::unique_ptr<CDataBand> band);
    // The current band into the copy buffer; false without a current band.
    bool Copy();
    bool HasCopy() const { return m_copy != nullptr; }
    // A fresh copy of the buffer appended and made current; the buffer keeps its band,
    // so every paste gives an independent band. False with an empty buffer.
    bool Paste();
    // Deletes the current band; the band at the same place (the last when it was the
    // last) becomes current. keepLast refuses to delete the only band.
    bool Delete(bool keepLast);
    bool MoveUp();
    bool MoveDown();

    // Replaces the target's bands by copies of the working copies, which stay here, so
    // an OK refused later by another pane loses nothing.
    void ApplyTo(BandVector& target) const;

    // What a band shows: its value through its formatting, line breaks as "\n".
    static QString ShownText(const CDataBand& band);
    // The shown texts of every band in order, and the range of the current band's
    // characters in it (start 0, length 0 without a current band).
    QString SampleText() const;
    int SampleStart() const;
    int SampleLength() const;

private:
    BandVector m_bands;
    int m_current = -1;
    std::unique_ptr<CDataBand> m_copy;
};
