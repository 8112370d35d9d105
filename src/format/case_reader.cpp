#include "format/case_reader.h"

#include <vector>

#include "hxrate/case_fields.h"

namespace hxrate {

void readCaseLine(FreeFormReader& reader, int caseLine, CaseInput& in, CaseLineSource* source) {
    std::int32_t label = 0;  // read, never checked
    std::vector<ReadItem> items{{&label, "label"}};
    // Lines 12, 14, 17 and 20 carry only their label.
    for (const CaseField& f : caseFields) {
        if (f.caseLine != caseLine) continue;
        switch (f.kind) {
            case CaseFieldKind::quantity:
            case CaseFieldKind::number:
                items.push_back({&f.real(in), f.label});
                break;
            case CaseFieldKind::integer:
                items.push_back({&f.integer(in), f.label});
                break;
            case CaseFieldKind::text:
                items.push_back({&f.text(in), f.label});
                break;
        }
    }
    reader.read(caseLine, items);
    if (source != nullptr) {
        ReadSpan span = reader.lastSpan();
        *source = {label, span.firstLine, span.lastLine, span.endColumn};
    }
}

}  // namespace hxrate
