#pragma once
// The subpicture form on the Options tab and its tie to "Matroska-ready files". Matroska-ready
// files always carry their subpictures as PGS, so while that box is ticked the choice shows PGS
// and can't be changed; unticked, it shows the user's own choice again. Demux reads the form
// shown (the host reads the choice's index); the settings keep the user's own choice.

#include "jobs/host.h"

class QCheckBox;
class QComboBox;

namespace tarnwell {

// The number of forms; their stored numbers are those of `SubpictureForm`.
inline constexpr int kSubpictureFormCount = 3;

class SubpictureChoice {
  public:
    // Fills `form` with the choices and follows `matroska` from now on.
    void bind(QCheckBox* matroska, QComboBox* form);

    SubpictureForm chosen() const { return chosen_; }
    void choose(SubpictureForm form);

  private:
    void follow();

    QCheckBox* matroska_ = nullptr;
    QComboBox* form_ = nullptr;
    SubpictureForm chosen_ = SubpictureForm::Raw;
};

}  // namespace tarnwell
