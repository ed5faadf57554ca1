#pragma once
// Cuts a prepared feed text at each "<item" and finds the channel, image and
// item fields by their tag texts.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "feedcomp/document_content.h"

namespace pellix::detail {

// Takes the prepared text (it becomes the document's text). itemCount is -1
// for an empty text, 0 when no "<item" occurs (no field is extracted then),
// else the number of items, capped at maxItems. expectedItems sizes the item
// records up front; a wrong guess costs only time.
[[nodiscard]] std::unique_ptr<DocumentContent> extractFields(std::string text,
                                                             std::int32_t maxItems,
                                                             std::size_t expectedItems);

}  // namespace pellix::detail
