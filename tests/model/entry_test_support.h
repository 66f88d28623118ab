#pragma once

#include <gtest/gtest.h>

#include "model/entry.h"

namespace trawlix::test {

// Compares every stored field of two entries.
inline void ExpectSameStoredFields(const TEntry& aExpected, const TEntry& aActual) {
    EXPECT_EQ(aExpected.GetFromSite(), aActual.GetFromSite());
    EXPECT_EQ(aExpected.GetDate(), aActual.GetDate());
    EXPECT_EQ(aExpected.GetName(), aActual.GetName());
    EXPECT_DOUBLE_EQ(aExpected.GetPrice(), aActual.GetPrice());
    EXPECT_EQ(aExpected.GetLocationString(), aActual.GetLocationString());
    EXPECT_EQ(aExpected.GetCategoryString(), aActual.GetCategoryString());
    EXPECT_EQ(aExpected.GetLink(), aActual.GetLink());
    EXPECT_EQ(aExpected.GetHasImage(), aActual.GetHasImage());
    EXPECT_EQ(aExpected.GetVisited(), aActual.GetVisited());
    EXPECT_EQ(aExpected.GetNew(), aActual.GetNew());
    EXPECT_EQ(aExpected.GetLocationID(), aActual.GetLocationID());
    EXPECT_EQ(aExpected.GetDescription(), aActual.GetDescription());
    EXPECT_EQ(aExpected.GetReplied(), aActual.GetReplied());
    EXPECT_EQ(aExpected.GetImageUrl(), aActual.GetImageUrl());
    EXPECT_EQ(aExpected.GetOriginalImage(), aActual.GetOriginalImage());
    EXPECT_EQ(aExpected.GetResizedImage(), aActual.GetResizedImage());
    EXPECT_DOUBLE_EQ(aExpected.GetPriceWas(), aActual.GetPriceWas());
    EXPECT_EQ(aExpected.GetDuplicateOf(), aActual.GetDuplicateOf());
    EXPECT_EQ(aExpected.GetPlace(), aActual.GetPlace());
    EXPECT_EQ(aExpected.GetHasGeo(), aActual.GetHasGeo());
    EXPECT_DOUBLE_EQ(aExpected.GetLatitude(), aActual.GetLatitude());
    EXPECT_DOUBLE_EQ(aExpected.GetLongitude(), aActual.GetLongitude());
    EXPECT_EQ(aExpected.GetPictureUrls(), aActual.GetPictureUrls());
    EXPECT_EQ(aExpected.GetPictureHash(), aActual.GetPictureHash());
    EXPECT_EQ(aExpected.GetMonth(), aActual.GetMonth());
    EXPECT_EQ(aExpected.GetDay(), aActual.GetDay());
}

}  // namespace trawlix::test
