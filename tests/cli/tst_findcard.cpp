// The command line finds a card of any model of the table, in the process:
// each model's card is found as that model, and a table with one more model
// finds that model's card too (none of them is named by hand).
#include <QtTest>
#include <cstdio>

#include "CardModels.h"
#include "LibraryBindings.h"
#include "RunSteps.h"
#include "TestRegistry.h"
#include "nvsim.h"

namespace NV815_TEST_UNIT {

class TestFindCard : public QObject {
    Q_OBJECT

    // What FindCard finds for `name` among `models`, with the model found,
    // or the message it wrote.
    static QString find(const char* name, std::span<const CardModel> models = CardModels()) {
        char* said = nullptr;
        size_t length = 0;
        std::FILE* err = open_memstream(&said, &length);
        std::string model;
        const std::string found = FindCard(name, err, &model, models);
        std::fclose(err);
        const QString message = QString::fromUtf8(said, static_cast<qsizetype>(length)).trimmed();
        std::free(said);
        return found.empty() ? message : QString::fromStdString(found + " " + model);
    }

private slots:
    void initTestCase() {
        QVERIFY(BindAllLibraries().ok());
        nvsim_load_chassis(nullptr, nullptr, 0);
    }

    void everyModelOfTheTable() {
        QCOMPARE(find("PXI1::13::INSTR"), QString("PXI1::13::INSTR 72-815"));
        QCOMPARE(find("PXI1::14::INSTR"), QString("PXI1::14::INSTR 82-815"));
        QCOMPARE(find("PXI1::15::INSTR"),
                 QString("'PXI1::15::INSTR' is not a 72-815 or 82-815 card (see --list-cards)."));
        // The chassis' digital card, made a model of a longer table.
        const CardModel three[] = {CardModels()[0], CardModels()[1], {"40-412", 1, 0x1234}};
        QCOMPARE(find("PXI1::15::INSTR", three), QString("PXI1::15::INSTR 40-412"));
        QCOMPARE(find("PXI9::1::INSTR", three),
                 QString("There is no resource 'PXI9::1::INSTR' (see --list-cards)."));
        QCOMPARE(QString::fromStdString(ModelNamesText(three)),
                 QString("72-815, 82-815 or 40-412"));
    }
};

NV815_TEST_GUILESS_MAIN(TestFindCard)
} // namespace NV815_TEST_UNIT

#include "tst_findcard.moc"
