// The one render entry: rows of a plan into a target. The host's band
// protocol, the dialog's preview and the exports all come here with their
// own target and services.
#ifndef LUMENFALL_RENDER_RENDER_ROWS_H
#define LUMENFALL_RENDER_RENDER_ROWS_H

#include <cstdint>

#include "render/render_plan.h"
#include "render/row_target.h"

namespace lumenfall {

class RowWorkers;

// Progress and cancel, around every row. Throttling, if any, is the
// services' own business.
class RenderServices {
public:
    virtual ~RenderServices() = default;
    virtual void rowStarting(int32_t row) { (void)row; }
    // False stops the render after this row.
    virtual bool rowFinished(int32_t row) {
        (void)row;
        return true;
    }
};

enum class RenderStatus {
    Done,           // every row of the range was drawn
    Stopped,        // the services asked to stop
    NoDestination,  // the target had nowhere to put a row
};

// Draws rows firstRow .. endRow - 1 of the plan into the target. Rows
// outside the target are skipped (their services are still called). With
// workers, each row's columns are shared among their threads; the services
// and everything between rows run on the calling thread, and the pixels
// are the same with any number of threads.
//
// With helpers, the workers also compute the effect of the row after each
// row, and may still be computing it when this returns, so that the next
// call (a host's band step asks for one row at a time) finds it done. The
// plan must therefore stay as it is while the workers live; a call for
// another row, plan, target shape or columns simply computes its own.
RenderStatus renderRows(const RenderPlan& plan, RowTarget& target, int32_t firstRow, int32_t endRow,
                        RenderServices* services = nullptr, RowWorkers* workers = nullptr);

// The columns of a render: firstColumn .. endColumn - 1 of the target, clipped
// to its width. A region of a larger picture (a tile a host asks for) draws
// only its own columns; the pixels are those of a render of whole rows.
struct RegionColumns {
    int32_t first;
    int32_t end;
};

// renderRows over a column range only: the same pixels in those columns,
// nothing drawn or delivered outside them.
RenderStatus renderRegion(const RenderPlan& plan, RowTarget& target, int32_t firstRow, int32_t endRow,
                          RegionColumns columns, RenderServices* services = nullptr,
                          RowWorkers* workers = nullptr);

// The sun's context for one target (what the row jobs read).
SunContext sunContextFor(const RenderPlan& plan, const TargetShape& shape);

}  // namespace lumenfall

#endif
