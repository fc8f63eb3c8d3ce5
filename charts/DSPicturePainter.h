#pragma once

// The common base of every painter family (one-variable, covariate, cell,
// residual, response, coefficient painters), so that a picture view owns
// the painters of its list whatever their family. A picture view makes one
// painter of each class of its list and keeps it for its whole life.
class DSPicturePainter
{
public:
    DSPicturePainter() = default;
    virtual ~DSPicturePainter() = default;
    DSPicturePainter(const DSPicturePainter &) = delete;
    DSPicturePainter &operator=(const DSPicturePainter &) = delete;
};
