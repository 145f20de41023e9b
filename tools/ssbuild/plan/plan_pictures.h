#pragma once
// The planner's picture steps (planner.h): they read the author's files
// and hand the bytes to picture_image.h.
#include "build_plan.h"
#include "build_project.h"
#include "input_source.h"

namespace ssbuild {

// A picture preview (display mode picture) in PNG, JPEG or GIF, or a BMP the
// window cannot load, goes in as the panel-sized 24-bit BMP, with a note; one
// that does not decode is an error.
void ConvertPreview(const BuildProject& project, const InputSource& inputs, BuildPlan& plan,
                    Findings& findings);

// Every chunk the screen saver would show (named in the layout's picture
// list, or, without a list, named like a picture) must be a BMP, PNG, JPEG or
// GIF that decodes; anything else is an error naming the file and the
// project line. Pictures too large to decode within the builder's memory
// budget are checked by their header.
void CheckShowPictures(const BuildProject& project, const InputSource& inputs,
                       Findings& findings);

// The layout the data file gets: the project's [show], with the [installer]
// publisher and version where [show] gives none, and the preview, when listed
// by its own name, under the name it lands as (a picture preview is written
// as NAME.bmp).
ShowOptions PlannedShow(const BuildProject& project, const BuildPlan& plan);

// The name a picture preview lands as in the screen saver's folder; empty
// when the preview is no picture there.
std::string PreviewLandingName(const BuildPlan& plan);

// The screen saver shows every picture of its folder when the layout lists
// none, and a picture preview lands there too. Then the data file's pictures
// are listed, in the order the folder would give them, so that the preview
// stays out; with a note, or a warning when they do not fit or the settings
// record is the author's own. True when `show` was changed.
bool KeepPreviewOutOfShow(const BuildPlan& plan, const Bytes& dataFile, ShowOptions& show,
                          Findings& findings);

// Whether KeepPreviewOutOfShow has anything to do for this plan.
bool PreviewMayJoinShow(const BuildPlan& plan, const ShowOptions& show);

}  // namespace ssbuild
