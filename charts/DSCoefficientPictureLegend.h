#pragma once

#include "charts/DSCoefficientPictureLegendEntry.h"

#include "platform/graphics/ds_geometry.h"

#include <vector>

// The legend a coefficient painter hands its picture: rows in order and the
// sizes of its label column (left_size) and value column (right_size). The
// picture draws it in its top-right corner and narrows its title by the
// legend's width. A plain value; painters make a fresh one per drawing.
class DSCoefficientPictureLegend
{
public:
    // The rows, in drawing order (top first).
    const std::vector<DSCoefficientPictureLegendEntry> &entries() const { return m_entries; }
    void addEntry(DSCoefficientPictureLegendEntry entry) { m_entries.push_back(std::move(entry)); }

    DSSize left_size() const { return m_leftSize; }
    void setLeft_size(DSSize size) { m_leftSize = size; }
    DSSize right_size() const { return m_rightSize; }
    void setRight_size(DSSize size) { m_rightSize = size; }
    // Width of both columns.
    double width() const { return m_leftSize.width + m_rightSize.width; }

private:
    std::vector<DSCoefficientPictureLegendEntry> m_entries;
    DSSize m_leftSize;
    DSSize m_rightSize;
};
