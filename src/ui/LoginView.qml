import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmoria
import "ViewModelActions.js" as Actions

// The form: credentials, region, filters and output folder, bound two-way to the controller.
ColumnLayout {
    id: root

    required property var viewModel

    readonly property var apelacjaOptions: [
        "Apelacja białostocka", "Apelacja gdańska", "Apelacja katowicka", "Apelacja krakowska",
        "Apelacja lubelska", "Apelacja łódzka", "Apelacja poznańska", "Apelacja rzeszowska",
        "Apelacja szczecińska", "Apelacja warszawska", "Apelacja wrocławska"
    ]
    readonly property var statusOptions: ["Wszystkie", "W toku", "Zakończone"]

    /** Writes one filter; the controller stores the whole record back. */
    function setFilter(name, value) {
        viewModel.setFilter(name, value)
    }
    function filter(name) {
        return ViewHelpers.filterValue(viewModel.filters, name)
    }

    function chooseOutputDirectory() {
        const folder = ViewHelpers.chooseFolder(viewModel.outputDirectory, changeFolderButton)
        if (folder.toString() !== "")
            viewModel.chooseOutputDirectory(folder)
    }

    spacing: 0

    HeaderView {}

    RowLayout {
        Layout.fillWidth: true
        Layout.leftMargin: 36
        Layout.rightMargin: 36
        Layout.topMargin: 6
        spacing: 8

        CardView {
            objectName: "loginCard"
            accent: true
            Layout.alignment: Qt.AlignTop
            Layout.fillWidth: true
            Layout.preferredWidth: 1

            SectionTitle { text: qsTr("Logowanie") }
            FieldRow {
                label: "Login"
                FormTextField {
                    objectName: "loginField"
                    text: root.viewModel.login
                    onTextEdited: root.viewModel.login = text
                }
            }
            FieldRow {
                label: "Hasło"
                FormTextField {
                    objectName: "passwordField"
                    echoMode: TextInput.Password
                    text: root.viewModel.password
                    onTextEdited: root.viewModel.password = text
                }
            }
            FieldRow {
                label: "Apelacja"
                Layout.bottomMargin: 10
                FormPicker {
                    objectName: "apelacjaPicker"
                    model: root.apelacjaOptions
                    value: root.viewModel.selectedApelacja
                    onPicked: text => root.viewModel.selectedApelacja = text
                }
            }
        }

        CardView {
            objectName: "filtersCard"
            accent: true
            Layout.alignment: Qt.AlignTop
            Layout.fillWidth: true
            Layout.preferredWidth: 1

            SectionTitle { text: qsTr("Filtry") }
            FieldRow {
                label: "Status"
                FormPicker {
                    objectName: "statusPicker"
                    model: root.statusOptions
                    value: root.filter("status")
                    onPicked: text => root.setFilter("status", text)
                }
            }
            RowLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 16
                Layout.rightMargin: 16
                Layout.topMargin: 4
                spacing: 12

                DateField {
                    caption: "Data od"
                    fieldName: "dataOdField"
                    value: root.filter("dataOd")
                    onEdited: text => root.setFilter("dataOd", text)
                }
                DateField {
                    caption: "Data do"
                    fieldName: "dataDoField"
                    value: root.filter("dataDo")
                    onEdited: text => root.setFilter("dataDo", text)
                }
            }
            FieldRow {
                label: "Podmiot"
                FormTextField {
                    objectName: "podmiotField"
                    text: root.filter("podmiot")
                    onTextEdited: root.setFilter("podmiot", text)
                }
            }
            FieldRow {
                label: "Przedmiot"
                Layout.bottomMargin: 10
                FormTextField {
                    objectName: "przedmiotField"
                    text: root.filter("przedmiot")
                    onTextEdited: root.setFilter("przedmiot", text)
                }
            }
        }
    }

    RowLayout {
        objectName: "outputFolderRow"
        Layout.fillWidth: true
        Layout.leftMargin: 40
        Layout.rightMargin: 40
        Layout.topMargin: 8
        Layout.bottomMargin: 8
        spacing: 8

        Text {
            text: qsTr("Folder zapisu:")
            font: Theme.labelRegular
            color: Theme.textPrimary
        }
        Text {
            objectName: "folderPath"
            Layout.fillWidth: true
            text: ViewHelpers.folderPath(root.viewModel.outputDirectory)
            textFormat: Text.PlainText
            font: Theme.labelRegular
            color: Theme.textSecondary
            maximumLineCount: 1
            elide: Text.ElideMiddle
        }
        SecondaryButtonStyle {
            id: changeFolderButton
            objectName: "changeFolderButton"
            text: qsTr("Zmień")
            onClicked: root.chooseOutputDirectory()
        }
    }

    MessageLine {
        objectName: "loginErrorLine"
        visible: root.viewModel.hasLoginError
        Layout.bottomMargin: visible ? 4 : 0
        text: root.viewModel.loginError
        font: Theme.labelRegular
        color: Theme.errorRed
        // A blank message still takes its line.
        Layout.preferredHeight: visible ? Math.max(implicitHeight, fontMetrics.height) : 0
        FontMetrics {
            id: fontMetrics
            font: Theme.labelRegular
        }
    }

    PrimaryButtonStyle {
        objectName: "startButton"
        Layout.leftMargin: 36
        Layout.rightMargin: 36
        Layout.bottomMargin: 6
        text: qsTr("Rozpocznij pobieranie")
        onClicked: Actions.performViewModelAction(root, "startScraping")
    }

    TorbunFooter {}
}
