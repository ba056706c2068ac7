// The common sliders: opacity, rotation and picture saturation of the selected boxes.
#include "window/CommonPanel.h"

#include "boxes/MyImageView.h"
#include "boxes/MyViewBase.h"
#include "container/TextViewContainer.h"
#include "window/DocumentWindowOutlets.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SelectionGather.h"
#include "window/SharedValue.h"

CommonPanel::CommonPanel(InspectorHost& host)
    : InspectorPanel(host)
{
    const DocumentWindowOutlets& c = controls();
    onAction(
        c.textboxOpacitySlider, [this, s = c.textboxOpacitySlider] { adjustTextBoxOpacity(*s); });
    onAction(c.textboxAngleSlider, [this, s = c.textboxAngleSlider] { adjustTextBoxAngle(*s); });
    onAction(c.imageboxsaturationSlider,
        [this, s = c.imageboxsaturationSlider] { adjustImageBoxSaturation(*s); });
}

void CommonPanel::refresh(const std::vector<MyViewBase*>& boxes)
{
    struct Values {
        Shared<double> opacity, rotation, saturation;
        void merge(const Values& later)
        {
            opacity.merge(later.opacity);
            rotation.merge(later.rotation);
            saturation.merge(later.saturation);
        }
    };
    const auto [opacity, rotation, saturation]
        = selectiongather::gatherSelected<Values>(boxes, [](Values& v, const MyViewBase& box) {
              // A NaN opacity never equals the reference, so it shows as mixed.
              v.opacity.take(double(box.layerOpacity()));
              v.rotation.take(box.rotationAngle());
              if (const auto* picture = boxAs<MyImageView>(&box))
                  v.saturation.take(picture->saturation());
          });
    const DocumentWindowOutlets& c = controls();
    c.textboxOpacitySlider->showValue(opacity.same, opacity.value());
    c.textboxAngleSlider->showValue(rotation.same, rotation.value() / 360.0);
    // Without a picture box the saturation slider shows its empty state.
    ImageEffectIntensitySlider* sat = c.imageboxsaturationSlider;
    sat->showValue(saturation.same,
        saturation.seen() && sat->maxValue() > 0 ? saturation.value() / sat->maxValue() : 0.0);
}

void CommonPanel::adjustTextBoxOpacity(ImageEffectIntensitySlider& sender)
{
    host().beforeAction();
    if (TextViewContainer* layer = boxLayer())
        layer->textboxOpacityChanged(sender.value());
}

void CommonPanel::adjustTextBoxAngle(ImageEffectIntensitySlider& sender)
{
    host().beforeAction();
    if (TextViewContainer* layer = boxLayer())
        layer->textboxAngleChanged(sender.value() * 360.0);
}

void CommonPanel::adjustImageBoxSaturation(ImageEffectIntensitySlider& sender)
{
    host().beforeAction();
    if (TextViewContainer* layer = boxLayer())
        layer->imageboxSaturationChanged(sender.value() * sender.maxValue());
}

void CommonPanel::updateBoxAngle(float degrees)
{
    controls().textboxAngleSlider->showValue(true, double(degrees) / 360.0);
}
