#include "tray/qr_encoder.h"

#include "tray/qr_encoder_detail.h"

std::optional<QrMatrix> QrEncoder::encode(std::string_view code) {
  if (!qr_detail::is_six_digits(code)) return std::nullopt;
  const qr_detail::QrCanvas base =
      qr_detail::build_base(qr_detail::build_message(qr_detail::data_codewords(code)));
  const int mask = qr_detail::lowest_score_index(qr_detail::mask_scores(base));
  return qr_detail::masked_candidate(base, mask);
}
